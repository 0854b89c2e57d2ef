// The command line of every command, read by one option parser (CLI11). The
// help texts are the packer's own, so its options are described in one way
// in --help and in the manual page.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>

#include "commands.h"

namespace nsTobrin {

namespace {

const char kHelp[] =
    "Usage: tobrin-pack COMMAND [OPTIONS] ...\n"
    "\n"
    "Binds a folder of files into a copy of the Tobrin runner, so that the packed\n"
    "program extracts them, shows the package's message and starts its payload.\n"
    "\n"
    "Commands:\n"
    "  create -o OUT.exe [--stub RUNNER.exe] [--store | --level N | --no-seal] [SETTINGS] DIR\n"
    "                                               pack DIR into OUT.exe\n"
    "  init DIR [--run FILE]                        write commented settings files\n"
    "  list [--json] PACKED.exe                     show the groups, files and settings\n"
    "  verify PACKED.exe                            check that the runner would run it\n"
    "  extract PACKED.exe DIR                       write the files into DIR, run nothing\n"
    "\n"
    "'tobrin-pack COMMAND --help' tells more about each command.\n"
    "\n"
    "Exit status: 0 done (warnings may have been printed), 1 refused or failed,\n"
    "2 wrong command line.\n";

struct Command {
  const char* name;
  const char* help;
  CLI::App* app = nullptr;
  bool helpAsked = false;
};

// A value option whose absence is kept apart from an empty value.
void AddOptional(CLI::App* app, const char* name, std::optional<std::string>& value, std::string& raw) {
  app->add_option(name, raw)->each([&value](const std::string& given) { value = given; });
}

}  // namespace

int RunCommandLine(const Arguments& all) {
  if (all.empty()) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  CLI::App app("tobrin-pack");
  app.set_help_flag();
  bool helpAsked = false, versionAsked = false;
  app.add_flag("-h,--help", helpAsked);
  app.add_flag("--version", versionAsked);
  app.require_subcommand(0, 1);

  Command commands[] = {{"create", kCreateHelp}, {"init", kInitHelp}, {"list", kListHelp},
                        {"verify", kVerifyHelp}, {"extract", kExtractHelp}};
  for (Command& command : commands) {
    command.app = app.add_subcommand(command.name);
    command.app->set_help_flag();
    command.app->add_flag("-h,--help", command.helpAsked);
  }
  CLI::App* help = app.add_subcommand("help");
  std::string helpTopic;
  help->add_option("COMMAND", helpTopic);

  CreateOptions create;
  std::string raw[4];
  std::vector<std::string> texts;
  bool notice = false, ask = false;
  {
    CLI::App* c = commands[0].app;
    c->add_option("-o,--output", create.output);
    c->add_option("--stub", create.stub);
    c->add_flag("--no-seal", create.noSeal);
    c->add_flag("--store", create.store);
    c->add_option("--level", create.level)->check(CLI::Range(1, 22));
    AddOptional(c, "--run", create.settings.run, raw[0]);
    AddOptional(c, "--param-a", create.settings.paramA, raw[1]);
    AddOptional(c, "--param-b", create.settings.paramB, raw[2]);
    AddOptional(c, "--product", create.settings.product, raw[3]);
    CLI::Option* noticeFlag = c->add_flag("--notice", notice);
    c->add_flag("--ask", ask)->excludes(noticeFlag);
    c->add_option("--text", texts)->allow_extra_args(false);
    c->add_option("DIR", create.folder);
  }
  InitOptions init;
  commands[1].app->add_option("DIR", init.folder);
  commands[1].app->add_option("--run", init.run);
  ListOptions list;
  commands[2].app->add_flag("--json", list.json);
  commands[2].app->add_option("PACKED.exe", list.packed);
  VerifyOptions verify;
  commands[3].app->add_option("PACKED.exe", verify.packed);
  ExtractOptions extract;
  commands[4].app->add_option("PACKED.exe", extract.packed);
  commands[4].app->add_option("DIR", extract.folder);

  const std::string& first = all[0];
  const Command* named = nullptr;
  for (const Command& command : commands)
    if (first == command.name) named = &command;
  if (!named && first != "help" && first[0] != '-') {
    std::fprintf(stderr, "tobrin-pack: unknown command '%s'\n\n%s", first.c_str(), kHelp);
    return kExitUsage;
  }
  try {
    app.parse(Arguments(all.rbegin(), all.rend()));  // CLI11 takes the arguments last first
  } catch (const CLI::ParseError& error) {
    if (!named) {
      std::fprintf(stderr, "tobrin-pack: %s\n\n%s", error.what(), kHelp);
      return kExitUsage;
    }
    return UsageError(named->name, error.what());
  }

  if (helpAsked || help->parsed()) {
    const char* text = kHelp;
    for (const Command& command : commands)
      if (helpTopic == command.name) text = command.help;
    std::fputs(text, stdout);
    return kExitOk;
  }
  if (versionAsked) {
    std::puts("tobrin-pack " TOBRIN_VERSION);
    return kExitOk;
  }
  if (!named) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  if (named->helpAsked) {
    std::fputs(named->help, stdout);
    return kExitOk;
  }

  if (named == &commands[0]) {
    if (create.output.empty()) return UsageError("create", "name the program to write with -o OUT.exe");
    if (create.folder.empty()) return UsageError("create", "name the folder to pack");
    if (create.level && (create.store || create.noSeal))
      return UsageError("create", "--level compresses, but --store and --no-seal store the files as they are");
    create.settings.box = notice ? SettingsOptions::Box::Notice : ask ? SettingsOptions::Box::Ask : SettingsOptions::Box::None;
    const std::string wrong = CheckSettingsOptions(create.settings, texts);
    if (!wrong.empty()) return UsageError("create", wrong);
    return RunCreate(create);
  }
  if (named == &commands[1]) {
    if (init.folder.empty()) return UsageError("init", "name the folder to write the settings files into");
    SettingsOptions run;
    run.run = init.run;
    const std::string wrong = CheckSettingsOptions(run, {});
    if (!wrong.empty()) return UsageError("init", wrong);
    return RunInit(init);
  }
  if (named == &commands[2]) {
    if (list.packed.empty()) return UsageError("list", "name the packed program to list");
    return RunList(list);
  }
  if (named == &commands[3]) {
    if (verify.packed.empty()) return UsageError("verify", "name the packed program to verify");
    return RunVerify(verify);
  }
  if (extract.folder.empty()) return UsageError("extract", "name the packed program and the folder to write into");
  return RunExtract(extract);
}

}  // namespace nsTobrin
