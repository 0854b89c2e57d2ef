// The packer's commands. Each takes the arguments after its name and
// returns the process exit code.
#pragma once

#include <string>
#include <vector>

#include "settings_files.h"

namespace nsTobrin {

constexpr int kExitOk = 0;       // done; warnings may have been printed
constexpr int kExitRefused = 1;  // the input was refused or the work failed
constexpr int kExitUsage = 2;    // the command line was wrong

using Arguments = std::vector<std::string>;

// Each command's options, as the command line gave them (UTF-8).
struct CreateOptions {
  std::string output, stub, folder;
  SettingsOptions settings;
  bool noSeal = false;  // write the plain format, without the seal
  bool store = false;   // the stored layout, sealed
  int level = 0;        // the compression level; 0: the default
};
struct ListOptions {
  std::string packed;
  bool json = false;
};
struct VerifyOptions {
  std::string packed;
};
struct ExtractOptions {
  std::string packed, folder;
};
struct InitOptions {
  std::string folder, run = "Setup.exe";
};

// Parses the whole command line (after the program name) and runs the
// command it names.
int RunCommandLine(const Arguments& args);

int RunCreate(const CreateOptions& options);
int RunList(const ListOptions& options);
int RunVerify(const VerifyOptions& options);
int RunExtract(const ExtractOptions& options);
int RunInit(const InitOptions& options);

extern const char kCreateHelp[];
extern const char kListHelp[];
extern const char kVerifyHelp[];
extern const char kExtractHelp[];
extern const char kInitHelp[];

int UsageError(const char* command, const std::string& message);
// "tobrin-pack: error: SUBJECT: REASON" on standard error; returns kExitRefused.
int Refuse(const std::string& subject, const std::string& reason);

}  // namespace nsTobrin
