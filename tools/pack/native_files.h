// The packer's view of the local file system: paths from and to UTF-8, files
// as std::FILE* with an owner, and the few facts about the running program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tobrin::pack {

namespace fs = std::filesystem;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

fs::path PathFromUtf8(const std::string& utf8);
std::string PathToUtf8(const fs::path& path);

// One component of a path (a file or folder name) as UTF-16; nothing when
// the name cannot be written in UTF-16 (bytes that are not UTF-8 on POSIX).
std::optional<std::u16string> NameToUtf16(const fs::path& name);
// A stored name's component as a path of this system.
fs::path NameFromUtf16(const std::u16string& name);

// Opens with a C mode string ("rb", "wb", "r+b"); null with errno set.
FilePtr OpenFile(const fs::path& path, const char* mode);

// The text of errno (or of a std::error_code).
std::string ErrnoText(int error);

// The path of the running program, when the system tells it.
std::optional<fs::path> OwnExecutablePath();

bool IsTerminal(std::FILE* stream);

// A new file beside `target` that is removed again unless Commit() renames
// it over `target`.
class PendingFile {
 public:
  explicit PendingFile(const fs::path& target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  std::FILE* Get() const { return m_file.get(); }
  const fs::path& Path() const { return m_path; }
  bool IsOpen() const { return m_file != nullptr; }
  // Flushes, closes and renames; false with `error` set on failure.
  bool Commit(std::string& error);

 private:
  fs::path m_target, m_path;
  FilePtr m_file;
  bool m_bCommitted = false;
};

}  // namespace tobrin::pack
