// The packer's view of the local file system: paths from and to UTF-8, files
// as std::FILE* with an owner, and the few facts about the running program.
// One interface; native_files_posix.cpp and native_files_win32.cpp implement
// it for their system (the build picks one), native_files.cpp what is alike.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/stdio_file.h"

namespace nsTobrin {

namespace fs = std::filesystem;

fs::path PathFromUtf8(const std::string& utf8);
std::string PathToUtf8(const fs::path& path);

// One component of a path (a file or folder name) as UTF-16; nothing when
// the name cannot be written in UTF-16 (bytes that are not UTF-8 on POSIX).
std::optional<std::u16string> NameToUtf16(const fs::path& name);
// A stored name's component as a path of this system.
fs::path NameFromUtf16(const std::u16string& name);
// A whole stored name (components split at '\' or '/', contract/stored_names.h)
// as a relative path of this system, joined component by component, so that
// no separator of this system can hide in a component.
fs::path PathFromStoredName(const std::u16string& name);

#ifdef _WIN32
// The "\\?\" form of `path` (made absolute first; "\\?\UNC\" for a share),
// which no file call cuts at MAX_PATH. Every file call of the packer on
// Windows goes through it; paths in messages stay as the user gave them.
std::wstring LongForm(const fs::path& path);
// The errno value nearest to GetLastError().
int LastErrno();
#endif

// Opens with a C mode string ("rb", "wb", "r+b"); null with errno set.
StdioFile OpenFile(const fs::path& path, const char* mode);

// Creates a new file for writing; an existing file or link of that name
// (never followed) fails it. Null with errno set.
StdioFile CreateNewFile(const fs::path& path);

// The status of `path` itself, a symbolic link not followed (on Windows a
// reparse point counts as a link, and names of every alphabet are read).
fs::file_status LinkStatus(const fs::path& path, std::error_code& error);

// One entry of a folder as the folder lists it, a link not followed.
struct FolderEntry {
  fs::path name;
  fs::file_type type = fs::file_type::none;  // symlink for a link (on Windows every reparse point)
  bool linkToFolder = false;                 // a link whose target is a folder
  std::uint64_t size = 0;                    // of a regular file
  std::error_code error;                     // set when the entry cannot be examined
};
// The entries of `folder` but "." and "..", at any depth of path; false
// with `error` set when it cannot be read (the entries read before kept).
bool ReadFolderEntries(const fs::path& folder, std::vector<FolderEntry>& entries, std::error_code& error);
// Removes everything below `folder`, links removed rather than followed;
// what cannot be removed stays.
void RemoveBelow(const fs::path& folder);
// Removes one file, link or empty folder; false when it stays.
bool RemoveEntry(const fs::path& path);
// Renames `from` over `to`, replacing a file of that name; false with
// `error` set on failure.
bool RenameReplacing(const fs::path& from, const fs::path& to, std::string& error);

// Opens a regular file for reading, never waiting on a FIFO or a device
// (opened without blocking, then checked by its type). With
// kDoNotFollowLinks a symbolic link is refused too. Null with `error` set
// to a reason in plain words.
enum class Links { kFollow, kDoNotFollowLinks };
StdioFile OpenRegularFile(const fs::path& path, Links links, std::string& error);

// The text of errno (or of a std::error_code).
std::string ErrnoText(int error);

// The path of the running program, when the system tells it.
std::optional<fs::path> OwnExecutablePath();

bool IsTerminal(std::FILE* stream);

// A new file of a unique name beside `target`, made exclusively (never
// through a link planted in the folder), that is removed again unless
// Commit() renames it over `target`; also when the packer is ended by
// SIGINT, SIGTERM or SIGHUP while it is open.
class PendingFile {
 public:
  explicit PendingFile(const fs::path& target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  std::FILE* Get() const { return m_file.Get(); }
  const fs::path& Path() const { return m_path; }
  bool IsOpen() const { return m_file.Valid(); }
  // The permissions the file gets when committed (POSIX; like `like`'s).
  void TakePermissionsOf(const fs::path& like);
  // Flushes, closes and renames; false with `error` set on failure.
  bool Commit(std::string& error);

 private:
  fs::path m_target, m_path;
  StdioFile m_file;
  bool m_bCommitted = false;
};

}  // namespace nsTobrin
