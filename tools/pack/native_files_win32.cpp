// The packer's file system on Windows: every path in its "\\?\" form.
#include "native_files.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "common/win_owners.h"
#include "extract/long_path.h"

#include "common/file_descriptor.h"
#include "text.h"

namespace nsTobrin {

fs::path PathFromUtf8(const std::string& utf8) {
  std::u16string wide;
  if (!Utf8ToUtf16(utf8, wide)) return fs::path(utf8);
  return fs::path(std::wstring(wide.begin(), wide.end()));
}

std::string PathToUtf8(const fs::path& path) {
  const std::wstring& native = path.native();
  return Utf16ToUtf8(std::u16string(native.begin(), native.end()));
}

std::optional<std::u16string> NameToUtf16(const fs::path& name) {
  const std::wstring& native = name.native();
  return std::u16string(native.begin(), native.end());
}

fs::path NameFromUtf16(const std::u16string& name) {
  return fs::path(std::wstring(name.begin(), name.end()));
}

std::wstring LongForm(const fs::path& path) {
  const std::wstring& native = path.native();
  if (native.compare(0, 4, L"\\\\.\\") == 0) return native;  // a device
  std::wstring full = ToLongPath(native);
  return full.empty() ? native : full;
}

int LastErrno() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    default:
      return EIO;
  }
}

bool ReadFolderEntries(const fs::path& folder, std::vector<FolderEntry>& entries, std::error_code& error) {
  entries.clear();
  error.clear();
  // Listed by the system itself: the library's folder walk stops at MAX_PATH.
  std::wstring pattern = LongForm(folder);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  FindHandle search(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
  if (!search) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;  // a drive's empty root has no "." either
    error.assign(LastErrno(), std::generic_category());
    return false;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry entry;
    entry.name = name;
    const bool folderLike = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      entry.type = fs::file_type::symlink;
      entry.linkToFolder = folderLike;
    } else if (folderLike) {
      entry.type = fs::file_type::directory;
    } else {
      entry.type = fs::file_type::regular;
      entry.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(search.Get(), &found));
  if (GetLastError() != ERROR_NO_MORE_FILES) error.assign(LastErrno(), std::generic_category());
  return !error;
}

bool RemoveEntry(const fs::path& path) {
  const std::wstring full = LongForm(path);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(full.c_str()) != 0 : DeleteFileW(full.c_str()) != 0;
}

StdioFile OpenFile(const fs::path& path, const char* mode) {
  std::wstring wideMode;
  for (const char* p = mode; *p; ++p) wideMode.push_back(static_cast<wchar_t>(*p));
  return StdioFile(_wfopen(LongForm(path).c_str(), wideMode.c_str()));
}

std::optional<fs::path> OwnExecutablePath() {
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  buffer.resize(length);
  return fs::path(buffer);
}

bool IsTerminal(std::FILE* stream) {
  return _isatty(_fileno(stream)) != 0;
}

fs::file_status LinkStatus(const fs::path& path, std::error_code& error) {
  const DWORD attributes = GetFileAttributesW(LongForm(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error.assign(LastErrno(), std::generic_category());
    return fs::file_status(error.value() == ENOENT ? fs::file_type::not_found : fs::file_type::none);
  }
  error.clear();
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return fs::file_status(fs::file_type::symlink);
  return fs::file_status((attributes & FILE_ATTRIBUTE_DIRECTORY) ? fs::file_type::directory : fs::file_type::regular);
}

StdioFile OpenRegularFile(const fs::path& path, Links links, std::string& error) {
  std::error_code code;
  if (links == Links::kDoNotFollowLinks && fs::is_symlink(LinkStatus(path, code))) {
    error = "is a symbolic link, which is not followed";
    return StdioFile();
  }
  StdioFile file = OpenFile(path, "rb");
  if (!file) error = "cannot be opened: " + ErrnoText(errno);
  return file;
}

StdioFile CreateNewFile(const fs::path& path) {
  KernelHandle handle(CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
  if (!handle) {
    errno = LastErrno();
    return StdioFile();
  }
  FileDescriptor fd(_open_osfhandle(reinterpret_cast<intptr_t>(handle.Get()), _O_WRONLY | _O_BINARY));
  if (!fd) return StdioFile();
  handle.Release();
  return StreamOver(fd, "wb");
}

PendingFile::PendingFile(const fs::path& target) : m_target(target) {
  const fs::path folder = target.parent_path();
  for (unsigned attempt = 0; attempt < 100 && !m_file; ++attempt) {
    fs::path name = target.filename();
    name += "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount() + attempt) +
            ".tobrin-pack-partial";
    m_path = folder / name;
    KernelHandle handle(CreateFileW(LongForm(m_path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      errno = LastErrno();
      break;
    }
    // The descriptor takes the handle over; its stream then takes it.
    FileDescriptor fd(_open_osfhandle(reinterpret_cast<intptr_t>(handle.Get()), _O_RDWR | _O_BINARY));
    if (fd) {
      handle.Release();
      m_file = StreamOver(fd, "w+b");
    }
    if (!m_file) {
      // The file made under our name is closed, then not left behind.
      const int error = errno;
      fd.Reset();
      handle.Reset();
      RemoveEntry(m_path);
      errno = error;
      break;
    }
  }
  if (!m_file) m_path.clear();
}

PendingFile::~PendingFile() {
  m_file.Reset();
  if (!m_bCommitted && !m_path.empty()) RemoveEntry(m_path);
}

void PendingFile::TakePermissionsOf(const fs::path& like) {
  (void)like;
}

bool RenameReplacing(const fs::path& from, const fs::path& to, std::string& error) {
  if (!MoveFileExW(LongForm(from).c_str(), LongForm(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = ErrnoText(LastErrno());
    return false;
  }
  return true;
}

}  // namespace nsTobrin
