#include <windows.h>

#include "package/long_path.h"
#include "run/launch.h"

namespace {

// How long a file still held by the payload's last moments may delay the
// deletion.
constexpr ULONGLONG kRetryMilliseconds = 5000;
constexpr DWORD kRetryPause = 100;

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool IsTransient(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_DIR_NOT_EMPTY ||
         error == ERROR_LOCK_VIOLATION;
}

DWORD DeleteFileForGood(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (DeleteFileW(path.c_str())) return 0;
  const DWORD error = GetLastError();
  return IsGone(error) ? 0 : error;
}

// Removes a folder and all it holds; a link to a folder elsewhere is removed
// itself, never followed. Returns 0 or the first error met.
DWORD RemoveTree(const std::wstring& folder) {
  DWORD firstError = 0;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (IsGone(error)) return 0;
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) return error;
  } else {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      DWORD error = 0;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = RemoveTree(path);
      } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = RemoveDirectoryW(path.c_str()) ? 0 : GetLastError();
      } else {
        error = DeleteFileForGood(path, found.dwFileAttributes);
      }
      if (error && !firstError) firstError = error;
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  if (firstError) return firstError;
  if (RemoveDirectoryW(folder.c_str())) return 0;
  const DWORD error = GetLastError();
  return IsGone(error) ? 0 : error;
}

}  // namespace

bool DeleteExtractFolder(const std::wstring& folder) {
  if (folder.empty()) return false;
  std::wstring path = folder;
  while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  const std::wstring longPath = ToLongPath(path);
  if (longPath.empty()) return false;
  const ULONGLONG deadline = GetTickCount64() + kRetryMilliseconds;
  for (;;) {
    const DWORD error = RemoveTree(longPath);
    if (error == 0) return true;
    if (!IsTransient(error) || GetTickCount64() >= deadline) return false;
    Sleep(kRetryPause);
  }
}
