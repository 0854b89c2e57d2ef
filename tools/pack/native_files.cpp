#include "native_files.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "text.h"

namespace tobrin::pack {

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

PendingFile::PendingFile(const fs::path& target) : m_target(target) {
  fs::path name = target.filename();
  name += ".tobrin-pack-partial";
  m_path = target.parent_path() / name;
  m_file = OpenFile(m_path, "w+b");
}

PendingFile::~PendingFile() {
  m_file.reset();
  if (!m_bCommitted) {
    std::error_code ignored;
    fs::remove(m_path, ignored);
  }
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

}  // namespace tobrin::pack
