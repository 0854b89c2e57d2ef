#include "extract/long_path.h"

#include <windows.h>

#include "common/last_error.h"

namespace nsTobrin {
namespace {

// Empty, with an error the caller can report: GetFullPathNameW does not
// always set one (an empty path, a path that grew between the two calls).
std::wstring NoLongPath() {
  SetLastError(LastErrorOr(ERROR_BAD_PATHNAME));
  return std::wstring();
}

}  // namespace

std::wstring ToLongPath(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
  SetLastError(0);
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return NoLongPath();
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return NoLongPath();
  full.resize(length);
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace nsTobrin
