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

namespace nsTobrin {

namespace {

int Guarded(const Arguments& args) {
  try {
    return RunCommandLine(args);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tobrin-pack: error: %s\n", error.what());
    return kExitRefused;
  }
}

}  // namespace

int UsageError(const char* command, const std::string& message) {
  std::fprintf(stderr, "tobrin-pack %s: %s\nTry 'tobrin-pack %s --help'.\n", command, message.c_str(), command);
  return kExitUsage;
}

int Refuse(const std::string& subject, const std::string& reason) {
  std::fprintf(stderr, "tobrin-pack: error: %s: %s\n", subject.c_str(), reason.c_str());
  return kExitRefused;
}

}  // namespace nsTobrin

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  nsTobrin::Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    args.push_back(nsTobrin::Utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
  }
  return nsTobrin::Guarded(args);
}
#else
int main(int argc, char** argv) { return nsTobrin::Guarded(nsTobrin::Arguments(argv + 1, argv + argc)); }
#endif
