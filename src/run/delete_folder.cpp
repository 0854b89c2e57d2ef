#include "run/delete_folder.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "common/last_error.h"
#include "common/win_owners.h"
#include "extract/folder_security.h"

namespace nsTobrin {

namespace {

// How long a file still held by the payload's last moments (or a scanner)
// may delay the deletion. Once every file is gone, what is left is a folder
// that a program outside keeps as its current directory, which it may do for
// hours: that is given only a short moment.
constexpr ULONGLONG kRetryMilliseconds = 5000;
constexpr ULONGLONG kFolderRetryMilliseconds = 500;
constexpr DWORD kRetryPause = 100;

struct RemoveResult {
  DWORD error = 0;         // the first error met
  bool filesLeft = false;  // a file (not only folders) could not be deleted
};

bool IsGone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool IsTransient(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_DIR_NOT_EMPTY ||
         error == ERROR_LOCK_VIOLATION;
}

DWORD DeleteFileForGood(const std::wstring& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  const DWORD error = ErrorUnless(DeleteFileW(path.c_str()), ERROR_ACCESS_DENIED);
  return IsGone(error) ? 0 : error;
}

void Merge(RemoveResult& into, const RemoveResult& from) {
  if (from.error && !into.error) into.error = from.error;
  into.filesLeft = into.filesLeft || from.filesLeft;
}

RemoveResult RemoveTree(const std::wstring& folder, bool scheduleOnly = false, bool twoThreads = false);

// Folders that two threads remove, each taking the next one left. On Windows
// every deletion waits for the file system and the filters on it (a scanner
// looks at each file it is asked to delete); a second thread overlaps those
// waits, which made deleting many small files 1.5 times faster.
class SharedFolders {
 public:
  explicit SharedFolders(std::vector<std::wstring> folders) : m_folders(std::move(folders)) {}

  RemoveResult RemoveAll() {
    RemoveResult result;
    KernelHandle helper(CreateThread(nullptr, 0, HelperProc, this, 0, nullptr));
    Merge(result, Work());
    // Without a second thread this one has done them all.
    if (helper.Valid()) WaitForSingleObject(helper.Get(), INFINITE);
    Merge(result, m_helperResult);
    return result;
  }

 private:
  static DWORD WINAPI HelperProc(LPVOID param) {
    auto* shared = static_cast<SharedFolders*>(param);
    shared->m_helperResult = shared->Work();
    return 0;
  }

  RemoveResult Work() {
    RemoveResult result;
    for (size_t i; (i = m_next.fetch_add(1)) < m_folders.size();) Merge(result, RemoveTree(m_folders[i]));
    return result;
  }

  std::vector<std::wstring> m_folders;
  std::atomic<size_t> m_next{0};
  RemoveResult m_helperResult;
};

// Removes a folder and all it holds; a link to a folder elsewhere is removed
// itself, never followed. With `scheduleOnly`, deletes nothing and marks each
// entry, contents before their folder, for deletion at the next restart.
// With `twoThreads`, its subfolders are removed by two threads.
RemoveResult RemoveTree(const std::wstring& folder, bool scheduleOnly, bool twoThreads) {
  RemoveResult result;
  DWORD& firstError = result.error;
  std::vector<std::wstring> subfolders;  // left for two threads
  WIN32_FIND_DATAW found;
  const FindHandle search(
      FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
  if (!search.Valid()) {
    // A search that names no error is taken for an empty folder: removing
    // the folder then tells.
    const DWORD error = LastErrorOr(ERROR_NO_MORE_FILES);
    if (IsGone(error)) return result;
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
      firstError = error;
      return result;
    }
  } else {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      DWORD error = 0;
      const EntryRemoval removal = RemovalOf(found.dwFileAttributes);
      if (removal == EntryRemoval::Descend && twoThreads) {
        subfolders.push_back(path);
      } else if (removal == EntryRemoval::Descend) {
        const RemoveResult inner = RemoveTree(path, scheduleOnly);
        error = inner.error;
        result.filesLeft = result.filesLeft || inner.filesLeft;
      } else if (scheduleOnly) {
        MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      } else if (removal == EntryRemoval::RemoveFolder) {
        error = ErrorUnless(RemoveDirectoryW(path.c_str()), ERROR_DIR_NOT_EMPTY);
      } else {
        error = DeleteFileForGood(path, found.dwFileAttributes);
        if (error) result.filesLeft = true;
      }
      if (error && !firstError) firstError = error;
    } while (FindNextFileW(search.Get(), &found));
  }
  if (!subfolders.empty()) Merge(result, SharedFolders(std::move(subfolders)).RemoveAll());
  if (scheduleOnly) {
    MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return result;
  }
  if (firstError) return result;
  const DWORD error = ErrorUnless(RemoveDirectoryW(folder.c_str()), ERROR_DIR_NOT_EMPTY);
  if (!IsGone(error)) firstError = error;
  return result;
}

}  // namespace

EntryRemoval RemovalOf(DWORD attributes) {
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return EntryRemoval::DeleteFile;
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryRemoval::RemoveFolder : EntryRemoval::Descend;
}

bool DeleteExtractFolder(const std::wstring& folder) { return DeleteExtractFolder(ExtractFolder(folder)); }

bool DeleteExtractFolder(const ExtractFolder& folder) {
  const std::wstring& longPath = folder.LongPath();
  if (longPath.empty()) return false;
  const ULONGLONG start = GetTickCount64();
  ULONGLONG deadline = start + kRetryMilliseconds;
  for (;;) {
    const RemoveResult removed = RemoveTree(longPath, false, true);
    if (removed.error == 0) return true;
    const ULONGLONG now = GetTickCount64();
    if (!removed.filesLeft) deadline = std::min(deadline, now + kFolderRetryMilliseconds);
    if (!IsTransient(removed.error) || now >= deadline) break;
    Sleep(kRetryPause);
  }
  // An elevated run leaves nothing for good; a run without elevation cannot
  // schedule anything and leaves what a program outside holds.
  if (IsProcessElevated()) RemoveTree(longPath, true);
  return false;
}

}  // namespace nsTobrin
