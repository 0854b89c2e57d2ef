// The one way a failed Win32 call becomes a run's error.
//
// A runner step that can fail returns a DWORD: 0, or the Win32 error that
// stopped it. A value the step yields goes to an out-parameter, written when
// the step returns 0. A failed call inside a step is passed on in one line:
//   if (const DWORD error = ErrorUnless(CreateDirectoryW(...), ERROR_CANNOT_MAKE)) return error;
#pragma once

#include <windows.h>

namespace nsTobrin {

// The calling thread's last error after a call that failed, or `fallback`
// (not 0) when the call left none: a failure never reads as success.
inline DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error ? error : fallback;
}

// 0 when the call succeeded, else its last error or `fallback`. Takes a BOOL
// answer or an owner's Valid(); a raw handle is refused, since a failed call
// may answer null or INVALID_HANDLE_VALUE.
inline DWORD ErrorUnless(bool succeeded, DWORD fallback) { return succeeded ? 0 : LastErrorOr(fallback); }
DWORD ErrorUnless(HANDLE, DWORD) = delete;

}  // namespace nsTobrin
