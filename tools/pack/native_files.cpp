#include "native_files.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

#include "text.h"

namespace tobrin {

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

FilePtr OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
  std::wstring wideMode;
  for (const char* p = mode; *p; ++p) wideMode.push_back(static_cast<wchar_t>(*p));
  return FilePtr(_wfopen(path.c_str(), wideMode.c_str()));
#else
  return FilePtr(std::fopen(path.c_str(), mode));
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
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    error.clear();
    return fs::file_status(fs::file_type::symlink);
  }
  return fs::status(path, error);
#else
  return fs::symlink_status(path, error);
#endif
}

FilePtr OpenRegularFile(const fs::path& path, Links links, std::string& error) {
#ifdef _WIN32
  std::error_code code;
  const fs::file_status status = links == Links::kFollow ? fs::status(path, code) : LinkStatus(path, code);
  if (fs::is_symlink(status)) {
    error = "is a symbolic link, which is not followed";
    return nullptr;
  }
  FilePtr file = OpenFile(path, "rb");
  if (!file) error = "cannot be opened: " + ErrnoText(errno);
  return file;
#else
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::kFollow ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    error = errno == ELOOP && links != Links::kFollow ? "is a symbolic link, which is not followed"
                                                      : "cannot be opened: " + ErrnoText(errno);
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? "is a folder" : "is not a regular file (a FIFO, a device or a socket)";
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FilePtr file(fdopen(fd, "rb"));
  if (!file) {
    error = "cannot be opened: " + ErrnoText(errno);
    close(fd);
  }
  return file;
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
    HANDLE handle = CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
      break;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
    if (fd < 0) {
      CloseHandle(handle);
      break;
    }
    m_file.reset(_fdopen(fd, "w+b"));
    if (!m_file) _close(fd);
  }
  if (!m_file) m_path.clear();
#else
  // mkstemps: O_CREAT | O_EXCL under a name of its own, mode 0600.
  std::string pattern = (folder / target.filename()).native() + ".XXXXXX.tobrin-pack-partial";
  const int fd = mkstemps(&pattern[0], static_cast<int>(std::strlen(".tobrin-pack-partial")));
  if (fd < 0) return;
  m_path = pattern;
  m_file.reset(fdopen(fd, "w+b"));
  if (!m_file) {
    close(fd);
    unlink(pattern.c_str());
    m_path.clear();
    return;
  }
  WatchPartial(m_path);
#endif
}

PendingFile::~PendingFile() {
  m_file.reset();
  if (!m_bCommitted && !m_path.empty()) {
    std::error_code ignored;
    fs::remove(m_path, ignored);
  }
#ifndef _WIN32
  if (!m_path.empty()) UnwatchPartial();
#endif
}

void PendingFile::TakePermissionsOf(const fs::path& like) {
#ifndef _WIN32
  struct stat info;
  if (m_file && stat(like.c_str(), &info) == 0) fchmod(fileno(m_file.get()), info.st_mode & 07777);
#else
  (void)like;
#endif
}

bool PendingFile::Commit(std::string& error) {
  if (!m_file) {
    error = "the file is not open";
    return false;
  }
  const bool flushed = std::fflush(m_file.get()) == 0;
  const int savedErrno = errno;
  const bool closed = std::fclose(m_file.release()) == 0;
  if (!flushed || !closed) {
    error = ErrnoText(flushed ? errno : savedErrno);
    return false;
  }
  std::error_code code;
  fs::rename(m_path, m_target, code);
  if (code) {
    error = code.message();
    return false;
  }
  m_bCommitted = true;
  return true;
}

}  // namespace tobrin
