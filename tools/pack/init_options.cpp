// The options of init.
#include <CLI/CLI.hpp>

#include "command_options.h"
#include "commands.h"

namespace nsTobrin {

CommandRun DeclareInitOptions(CLI::App& app) {
  const auto init = std::make_shared<InitOptions>();
  app.add_option("DIR", init->folder);
  app.add_option("--run", init->run);
  return [init] {
    if (init->folder.empty()) return UsageError("init", "name the folder to write the settings files into");
    SettingsOptions run;
    run.run = init->run;
    const std::string wrong = CheckSettingsOptions(run, {});
    return wrong.empty() ? RunInit(*init) : UsageError("init", wrong);
  };
}

}  // namespace nsTobrin
