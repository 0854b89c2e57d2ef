// DLLs from the system's own folder only. A downloaded runner often sits
// beside files the user never looked at, so no DLL is loaded from its folder
// or the current one.
#pragma once

#include <windows.h>

namespace nsTobrin {

// Sets the process's DLL search to the system's folder, before anything is
// loaded. Windows 7 without its 2011 loader update has no such setting: its
// search then leaves out at least the current folder.
void RestrictDllSearch();

// Loads `name` (a bare file name) from the system's folder, as the system
// maps it for this process (SysWOW64 for a 32-bit run on 64-bit Windows).
// Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace nsTobrin
