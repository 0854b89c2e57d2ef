// The options of create. A new option is declared here, on `app`, into a
// field of CreateOptions (commands.h), and checked in the returned run.
#include <CLI/CLI.hpp>

#include <memory>

#include "command_options.h"
#include "commands.h"

namespace nsTobrin {

namespace {

struct CreateCommandLine {
  CreateOptions options;
  std::string raw[4];
  std::vector<std::string> texts;
  bool notice = false, ask = false;
};

// A value option whose absence is kept apart from an empty value.
void AddOptional(CLI::App& app, const char* name, std::optional<std::string>& value, std::string& raw) {
  app.add_option(name, raw)->each([&value](const std::string& given) { value = given; });
}

}  // namespace

CommandRun DeclareCreateOptions(CLI::App& app) {
  const auto line = std::make_shared<CreateCommandLine>();
  CreateOptions& create = line->options;
  app.add_option("-o,--output", create.output);
  app.add_option("--stub", create.stub);
  app.add_flag("--no-seal", create.noSeal);
  app.add_flag("--store", create.store);
  app.add_option("--level", create.level)->check(CLI::Range(1, 22));
  AddOptional(app, "--run", create.settings.run, line->raw[0]);
  AddOptional(app, "--param-a", create.settings.paramA, line->raw[1]);
  AddOptional(app, "--param-b", create.settings.paramB, line->raw[2]);
  AddOptional(app, "--product", create.settings.product, line->raw[3]);
  CLI::Option* noticeFlag = app.add_flag("--notice", line->notice);
  app.add_flag("--ask", line->ask)->excludes(noticeFlag);
  app.add_option("--text", line->texts)->allow_extra_args(false);
  app.add_option("DIR", create.folder);

  return [line] {
    CreateOptions& create = line->options;
    if (create.output.empty()) return UsageError("create", "name the program to write with -o OUT.exe");
    if (create.folder.empty()) return UsageError("create", "name the folder to pack");
    if (create.level && (create.store || create.noSeal))
      return UsageError("create", "--level compresses, but --store and --no-seal store the files as they are");
    create.settings.box = line->notice ? SettingsOptions::Box::Notice
                          : line->ask  ? SettingsOptions::Box::Ask
                                       : SettingsOptions::Box::None;
    const std::string wrong = CheckSettingsOptions(create.settings, line->texts);
    if (!wrong.empty()) return UsageError("create", wrong);
    return RunCreate(create);
  };
}

}  // namespace nsTobrin
