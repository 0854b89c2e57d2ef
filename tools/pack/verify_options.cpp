// The options of verify.
#include <CLI/CLI.hpp>

#include <memory>

#include "command_options.h"
#include "commands.h"

namespace nsTobrin {

CommandRun DeclareVerifyOptions(CLI::App& app) {
  const auto verify = std::make_shared<VerifyOptions>();
  app.add_option("PACKED.exe", verify->packed);
  return [verify] {
    if (verify->packed.empty()) return UsageError("verify", "name the packed program to verify");
    return RunVerify(*verify);
  };
}

}  // namespace nsTobrin
