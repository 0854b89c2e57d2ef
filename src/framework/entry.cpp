// The program's entry point.
#include "framework/win_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  // Load no DLL from the program's own folder or the current one: a
  // downloaded runner often sits beside files the user never looked at.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return AfxWinMain(instance);
}
