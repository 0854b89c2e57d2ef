// The program's entry point.
#include <cstdlib>

#include "common/system_library.h"
#include "framework/win_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // First of all: the delay-loaded libraries are found by the search it sets.
  nsTobrin::RestrictDllSearch();
  return AfxWinMain();
}

// The runner has no console: an exception that escapes ends the process at
// once, without the runtime's message (and without the demangler it needs).
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
