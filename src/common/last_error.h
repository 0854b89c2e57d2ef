// The one way a failed Win32 call becomes a run's error.
#pragma once

#include <windows.h>

namespace nsTobrin {

// The calling thread's last error after a call that failed, or `fallback`
// (not 0) when the call left none: a failure never reads as success.
inline DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = GetLastError();
  return error ? error : fallback;
}

}  // namespace nsTobrin
