// The options of verify.
#include <CLI/CLI.hpp>

#include "command_options.h"
#include "commands.h"

namespace nsTobrin {

CommandRun DeclareVerifyOptions(CLI::App& app) {
  const auto verify = std::make_shared<VerifyOptions>();
  app.add_option("PACKED.exe", verify->packed);
  return RunWhenGiven(verify, &VerifyOptions::packed, "verify", "name the packed program to verify", RunVerify);
}

}  // namespace nsTobrin
