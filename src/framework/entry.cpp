// The program's entry point.
#include <cstdlib>

#include "framework/win_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  // Load no DLL from the program's own folder or the current one: a
  // downloaded runner often sits beside files the user never looked at.
  // First of all: the delay-loaded libraries are found by the search it sets.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return AfxWinMain();
}

// The runner has no console: an exception that escapes ends the process at
// once, without the runtime's message (and without the demangler it needs).
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
