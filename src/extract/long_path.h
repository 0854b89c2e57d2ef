// Paths in the "\\?\" form, so that no file operation is cut at MAX_PATH.
#pragma once

#include <string>

namespace nsTobrin {

// The full path of `path` with the "\\?\" (or "\\?\UNC\") prefix: separators
// made backslashes, doubled backslashes and "." removed. Empty on failure,
// with the thread's last error set (never 0).
std::wstring ToLongPath(const std::wstring& path);

}  // namespace nsTobrin
