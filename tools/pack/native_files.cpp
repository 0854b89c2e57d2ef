#include "native_files.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "common/win_owners.h"
#include "package/long_path.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

#include "common/file_descriptor.h"
#include "text.h"

namespace nsTobrin {

fs::path PathFromUtf8(const std::string& utf8) {
#ifdef _WIN32
  std::u16string wide;
  if (!Utf8ToUtf16(utf8, wide)) return fs::path(utf8);
  return fs::path(std::wstring(wide.begin(), wide.end()));
#else
  return fs::path(utf8);
#endif
}

std::string PathToUtf8(const fs::path& path) {
#ifdef _WIN32
  const std::wstring& native = path.native();
  return Utf16ToUtf8(std::u16string(native.begin(), native.end()));
#else
  return path.native();
#endif
}

std::optional<std::u16string> NameToUtf16(const fs::path& name) {
#ifdef _WIN32
  const std::wstring& native = name.native();
  return std::u16string(native.begin(), native.end());
#else
  std::u16string out;
  if (!Utf8ToUtf16(name.native(), out)) return std::nullopt;
  return out;
#endif
}

fs::path NameFromUtf16(const std::u16string& name) {
#ifdef _WIN32
  return fs::path(std::wstring(name.begin(), name.end()));
#else
  return fs::path(Utf16ToUtf8(name));
#endif
}

#ifdef _WIN32
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

#endif

bool ReadFolderEntries(const fs::path& folder, std::vector<FolderEntry>& entries, std::error_code& error) {
  entries.clear();
  error.clear();
#ifdef _WIN32
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
#else
  fs::directory_iterator it(folder, error), end;
  for (; !error && it != end; it.increment(error)) {
    FolderEntry entry;
    entry.name = it->path().filename();
    const fs::file_status own = fs::symlink_status(it->path(), entry.error);
    entry.type = own.type();
    if (fs::is_symlink(own)) {
      std::error_code ignored;
      entry.linkToFolder = fs::is_directory(fs::status(it->path(), ignored));
    } else if (fs::is_regular_file(own)) {
      entry.size = fs::file_size(it->path(), entry.error);
    }
    entries.push_back(std::move(entry));
  }
#endif
  return !error;
}

bool RemoveEntry(const fs::path& path) {
#ifdef _WIN32
  const std::wstring full = LongForm(path);
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(full.c_str()) != 0 : DeleteFileW(full.c_str()) != 0;
#else
  std::error_code error;
  return fs::remove(path, error);
#endif
}

void RemoveBelow(const fs::path& folder) {
  // Depth first with a list rather than by recursion, so that no depth of
  // folders exhausts the stack; a folder goes once what it holds is gone.
  struct Step {
    fs::path path;
    bool descend;
  };
  std::vector<Step> steps;
  std::vector<FolderEntry> entries;
  const auto list = [&](const fs::path& path) {
    std::error_code ignored;
    ReadFolderEntries(path, entries, ignored);
    for (const FolderEntry& entry : entries) steps.push_back({path / entry.name, entry.type == fs::file_type::directory});
  };
  list(folder);
  while (!steps.empty()) {
    if (steps.back().descend) {
      steps.back().descend = false;
      const fs::path path = steps.back().path;
      list(path);
      continue;
    }
    RemoveEntry(steps.back().path);
    steps.pop_back();
  }
}

StdioFile OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
  std::wstring wideMode;
  for (const char* p = mode; *p; ++p) wideMode.push_back(static_cast<wchar_t>(*p));
  return StdioFile(_wfopen(LongForm(path).c_str(), wideMode.c_str()));
#else
  return StdioFile(std::fopen(path.c_str(), mode));
#endif
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

std::optional<fs::path> OwnExecutablePath() {
#ifdef _WIN32
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return std::nullopt;
  buffer.resize(length);
  return fs::path(buffer);
#else
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return self;
#endif
}

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

#ifndef _WIN32
namespace {

// The partial file of the running create, for the signal handler: a path
// in a fixed buffer, as only async-signal-safe calls may use it.
char g_partialPath[4096];
volatile std::sig_atomic_t g_bPartialSet = 0;

extern "C" void RemovePartialAndEnd(int signal) {
  if (g_bPartialSet) unlink(g_partialPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void WatchPartial(const fs::path& path) {
  if (path.native().size() >= sizeof(g_partialPath)) return;
  std::memcpy(g_partialPath, path.c_str(), path.native().size() + 1);
  g_bPartialSet = 1;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, RemovePartialAndEnd);
}

void UnwatchPartial() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_DFL);
  g_bPartialSet = 0;
}

}  // namespace
#endif

fs::file_status LinkStatus(const fs::path& path, std::error_code& error) {
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(LongForm(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error.assign(LastErrno(), std::generic_category());
    return fs::file_status(error.value() == ENOENT ? fs::file_type::not_found : fs::file_type::none);
  }
  error.clear();
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return fs::file_status(fs::file_type::symlink);
  return fs::file_status((attributes & FILE_ATTRIBUTE_DIRECTORY) ? fs::file_type::directory : fs::file_type::regular);
#else
  return fs::symlink_status(path, error);
#endif
}

StdioFile OpenRegularFile(const fs::path& path, Links links, std::string& error) {
#ifdef _WIN32
  std::error_code code;
  if (links == Links::kDoNotFollowLinks && fs::is_symlink(LinkStatus(path, code))) {
    error = "is a symbolic link, which is not followed";
    return StdioFile();
  }
  StdioFile file = OpenFile(path, "rb");
  if (!file) error = "cannot be opened: " + ErrnoText(errno);
  return file;
#else
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::kFollow ? 0 : O_NOFOLLOW)));
  if (!fd) {
    error = errno == ELOOP && links != Links::kFollow ? "is a symbolic link, which is not followed"
                                                      : "cannot be opened: " + ErrnoText(errno);
    return StdioFile();
  }
  struct stat info;
  if (fstat(fd.Get(), &info) != 0) {
    error = "cannot be opened: " + ErrnoText(errno);
    return StdioFile();
  }
  if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? "is a folder" : "is not a regular file (a FIFO, a device or a socket)";
    return StdioFile();
  }
  fcntl(fd.Get(), F_SETFL, fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
  StdioFile file = StreamOver(fd, "rb");
  if (!file) error = "cannot be opened: " + ErrnoText(errno);
  return file;
#endif
}

StdioFile CreateNewFile(const fs::path& path) {
#ifdef _WIN32
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
#else
  // O_EXCL: an existing name, a symbolic link to anywhere among them, fails.
  FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd) return StdioFile();
  return StreamOver(fd, "wb");
#endif
}

PendingFile::PendingFile(const fs::path& target) : m_target(target) {
  const fs::path folder = target.parent_path();
#ifdef _WIN32
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
#else
  // mkstemps: O_CREAT | O_EXCL under a name of its own, mode 0600.
  std::string pattern = (folder / target.filename()).native() + ".XXXXXX.tobrin-pack-partial";
  FileDescriptor fd(mkstemps(&pattern[0], static_cast<int>(std::strlen(".tobrin-pack-partial"))));
  if (!fd) return;
  m_path = pattern;
  m_file = StreamOver(fd, "w+b");
  if (!m_file) {
    unlink(pattern.c_str());
    m_path.clear();
    return;
  }
  WatchPartial(m_path);
#endif
}

PendingFile::~PendingFile() {
  m_file.Reset();
  if (!m_bCommitted && !m_path.empty()) RemoveEntry(m_path);
#ifndef _WIN32
  if (!m_path.empty()) UnwatchPartial();
#endif
}

void PendingFile::TakePermissionsOf(const fs::path& like) {
#ifndef _WIN32
  struct stat info;
  if (m_file && stat(like.c_str(), &info) == 0) fchmod(fileno(m_file.Get()), info.st_mode & 07777);
#else
  (void)like;
#endif
}

bool PendingFile::Commit(std::string& error) {
  if (!m_file) {
    error = "the file is not open";
    return false;
  }
  const bool flushed = std::fflush(m_file.Get()) == 0;
  const int savedErrno = errno;
  const bool closed = CloseChecked(m_file);
  if (!flushed || !closed) {
    error = ErrnoText(flushed ? errno : savedErrno);
    return false;
  }
#ifdef _WIN32
  if (!MoveFileExW(LongForm(m_path).c_str(), LongForm(m_target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error = ErrnoText(LastErrno());
    return false;
  }
#else
  std::error_code code;
  fs::rename(m_path, m_target, code);
  if (code) {
    error = code.message();
    return false;
  }
#endif
  m_bCommitted = true;
  return true;
}

}  // namespace nsTobrin
