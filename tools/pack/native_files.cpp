// The packer's file system, the parts that are the same on every system;
// native_files_posix.cpp and native_files_win32.cpp hold the rest.
#include "native_files.h"

#include <cerrno>
#include <system_error>

#include "contract/stored_names.h"

namespace nsTobrin {

fs::path PathFromStoredName(const std::u16string& name) {
  fs::path path;
  for (const std::u16string_view component : SplitStoredName(name)) path /= NameFromUtf16(std::u16string(component));
  return path;
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

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
  if (!RenameReplacing(m_path, m_target, error)) return false;
  m_bCommitted = true;
  return true;
}

}  // namespace nsTobrin
