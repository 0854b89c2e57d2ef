// The owners of the Win32 resources the program holds, each one alias of
// the one owner template.
#pragma once

#include <windows.h>

#include "common/stdio_file.h"
#include "common/unique_resource.h"

namespace nsTobrin {

// Kernel handles report "nothing" as null (processes, threads, jobs) or as
// INVALID_HANDLE_VALUE (files): neither is closed.
inline bool IsValidKernelHandle(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }

using KernelHandle = UniqueResource<HANDLE, &CloseHandle, &IsValidKernelHandle>;
using FindHandle = UniqueResource<HANDLE, &FindClose, &IsValidKernelHandle>;
using RegistryKey = UniqueResource<HKEY, &RegCloseKey>;
using LocalMemory = UniqueResource<HLOCAL, &LocalFree>;
// A GDI object must not be selected into a device context when its owner goes.
using FontObject = UniqueResource<HFONT, &DeleteObject>;
using BrushObject = UniqueResource<HBRUSH, &DeleteObject>;

}  // namespace nsTobrin
