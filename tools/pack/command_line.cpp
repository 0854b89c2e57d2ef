// The command line of every command, read by one option parser (CLI11): the
// commands are listed here, and each declares its own options in its
// <command>_options.cpp. The help texts are the packer's own, so its options
// are described in one way in --help and in the manual page.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "command_options.h"
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

// A command: its name, its help, and how it declares its options.
struct CommandEntry {
  const char* name;
  const char* help;
  CommandRun (*declare)(CLI::App& app);
};

const CommandEntry kCommands[] = {{"create", kCreateHelp, DeclareCreateOptions},
                                 {"init", kInitHelp, DeclareInitOptions},
                                 {"list", kListHelp, DeclareListOptions},
                                 {"verify", kVerifyHelp, DeclareVerifyOptions},
                                 {"extract", kExtractHelp, DeclareExtractOptions}};

struct Command {
  const CommandEntry& entry;
  CLI::App* app;
  CommandRun run;
  bool helpAsked = false;
};

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

  std::vector<Command> commands;
  commands.reserve(std::size(kCommands));  // the help flags point into the elements
  for (const CommandEntry& entry : kCommands) {
    CLI::App* sub = app.add_subcommand(entry.name);
    sub->set_help_flag();
    commands.push_back({entry, sub, nullptr});
    sub->add_flag("-h,--help", commands.back().helpAsked);
  }
  CLI::App* help = app.add_subcommand("help");
  std::string helpTopic;
  help->add_option("COMMAND", helpTopic);
  for (Command& command : commands) command.run = command.entry.declare(*command.app);

  const std::string& first = all[0];
  const Command* named = nullptr;
  for (const Command& command : commands)
    if (first == command.entry.name) named = &command;
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
    return UsageError(named->entry.name, error.what());
  }

  if (helpAsked || help->parsed()) {
    const char* text = kHelp;
    for (const Command& command : commands)
      if (helpTopic == command.entry.name) text = command.entry.help;
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
    std::fputs(named->entry.help, stdout);
    return kExitOk;
  }

  return named->run();
}

}  // namespace nsTobrin
