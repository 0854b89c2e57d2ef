// tobrin-pack: binds a folder into a copy of the runner, and lists, verifies
// and extracts packed programs without running them.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "commands.h"
#include "text.h"

namespace tobrin::pack {

namespace {

const char kHelp[] =
    "Usage: tobrin-pack COMMAND [OPTIONS] ...\n"
    "\n"
    "Binds a folder of files into a copy of the Tobrin runner, so that the packed\n"
    "program extracts them, shows the package's message and starts its payload.\n"
    "\n"
    "Commands:\n"
    "  create -o OUT.exe [--stub RUNNER.exe] [SETTINGS] DIR\n"
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

int Main(const Arguments& all) {
  if (all.empty()) {
    std::fputs(kHelp, stderr);
    return kExitUsage;
  }
  const std::string& command = all[0];
  const Arguments args(all.begin() + 1, all.end());
  if (IsHelpOption(command) || command == "help") {
    if (!args.empty() && args[0] == "create") PrintCreateHelp();
    else if (!args.empty() && args[0] == "list") std::fputs(kListHelp, stdout);
    else if (!args.empty() && args[0] == "verify") std::fputs(kVerifyHelp, stdout);
    else if (!args.empty() && args[0] == "extract") std::fputs(kExtractHelp, stdout);
    else if (!args.empty() && args[0] == "init") std::fputs(kInitHelp, stdout);
    else std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (command == "--version") {
    std::puts("tobrin-pack " TOBRIN_VERSION);
    return kExitOk;
  }
  if (command == "create") return RunCreate(args);
  if (command == "list") return RunList(args);
  if (command == "verify") return RunVerify(args);
  if (command == "extract") return RunExtract(args);
  if (command == "init") return RunInit(args);
  std::fprintf(stderr, "tobrin-pack: unknown command '%s'\n\n%s", command.c_str(), kHelp);
  return kExitUsage;
}

int Guarded(const Arguments& args) {
  try {
    return Main(args);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tobrin-pack: error: %s\n", error.what());
    return kExitRefused;
  }
}

}  // namespace

bool IsHelpOption(const std::string& arg) { return arg == "--help" || arg == "-h"; }

int UsageError(const char* command, const std::string& message) {
  std::fprintf(stderr, "tobrin-pack %s: %s\nTry 'tobrin-pack %s --help'.\n", command, message.c_str(), command);
  return kExitUsage;
}

int Refuse(const std::string& subject, const std::string& reason) {
  std::fprintf(stderr, "tobrin-pack: error: %s: %s\n", subject.c_str(), reason.c_str());
  return kExitRefused;
}

}  // namespace tobrin::pack

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  tobrin::pack::Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    args.push_back(tobrin::pack::Utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
  }
  return tobrin::pack::Guarded(args);
}
#else
int main(int argc, char** argv) { return tobrin::pack::Guarded(tobrin::pack::Arguments(argv + 1, argv + argc)); }
#endif
