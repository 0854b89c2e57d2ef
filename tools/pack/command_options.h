// Each command of the packer declares its own options, in its own
// <command>_options.cpp, on the parser's subcommand for it, and says how it
// runs once the command line is parsed: it checks what the parser cannot
// (a missing folder, conflicting settings) and calls the command. The
// command line (command_line.cpp) only lists the commands.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace CLI {
class App;
}

namespace nsTobrin {

// Runs the command with the options parsed; returns the exit code.
using CommandRun = std::function<int()>;

// The usual run: `run` on the options once the operand `required` names
// something, else the usage error "COMMAND: MISSING".
int UsageError(const char* command, const std::string& message);
template <class Options>
CommandRun RunWhenGiven(std::shared_ptr<Options> options, std::string Options::*required, const char* command,
                        const char* missing, int (*run)(const Options&)) {
  return [=] { return ((*options).*required).empty() ? UsageError(command, missing) : run(*options); };
}

CommandRun DeclareCreateOptions(CLI::App& app);
CommandRun DeclareInitOptions(CLI::App& app);
CommandRun DeclareListOptions(CLI::App& app);
CommandRun DeclareVerifyOptions(CLI::App& app);
CommandRun DeclareExtractOptions(CLI::App& app);

}  // namespace nsTobrin
