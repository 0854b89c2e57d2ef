// The packer's commands. Each takes the arguments after its name and
// returns the process exit code.
#pragma once

#include <string>
#include <vector>

namespace tobrin::pack {

constexpr int kExitOk = 0;       // done; warnings may have been printed
constexpr int kExitRefused = 1;  // the input was refused or the work failed
constexpr int kExitUsage = 2;    // the command line was wrong

using Arguments = std::vector<std::string>;

int RunCreate(const Arguments& args);
int RunList(const Arguments& args);
int RunVerify(const Arguments& args);
int RunExtract(const Arguments& args);
int RunInit(const Arguments& args);

extern const char kCreateHelp[];
extern const char kListHelp[];
extern const char kVerifyHelp[];
extern const char kExtractHelp[];
extern const char kInitHelp[];
void PrintCreateHelp();  // kCreateHelp and the settings options

// Helpers of the command-line parsing.
bool IsHelpOption(const std::string& arg);
int UsageError(const char* command, const std::string& message);
// "tobrin-pack: error: SUBJECT: REASON" on standard error; returns kExitRefused.
int Refuse(const std::string& subject, const std::string& reason);

}  // namespace tobrin::pack
