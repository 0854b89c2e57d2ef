#include "folder_target.h"

#include <cerrno>
#include <system_error>

#include "package/package_format.h"

namespace tobrin::pack {

FolderTarget::~FolderTarget() { AbandonFile(); }

int FolderTarget::Fail(int error, const fs::path& path, const std::string& reason) {
  m_failedPath = PathToUtf8(path);
  m_failureReason = reason;
  return error ? error : EIO;
}

fs::path FolderTarget::Below(const std::u16string& relative) {
  // The reader refuses every name that is absolute or climbs out; the
  // components are joined one by one, so no separator of this system can
  // hide in them either.
  if (const char* why = CheckStoredName(relative)) {
    Fail(EINVAL, m_root, "the package name \"" + PathToUtf8(NameFromUtf16(relative)) + "\" is refused: " + why);
    return fs::path();
  }
  fs::path path;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= relative.size(); ++i) {
    if (i == relative.size() || relative[i] == u'\\' || relative[i] == u'/') {
      path /= NameFromUtf16(relative.substr(start, i - start));
      start = i + 1;
    }
  }
  return path;
}

int FolderTarget::MakeFolders(const fs::path& relativeFolder) {
  fs::path path = m_root;
  for (const fs::path& component : relativeFolder) {
    path /= component;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (fs::is_symlink(status)) return Fail(ELOOP, path, "is a symbolic link; nothing is written through one");
    if (fs::is_directory(status)) continue;
    if (fs::exists(status)) return Fail(ENOTDIR, path, "a file stands where a folder must go");
    if (!fs::create_directory(path, error) && error) return Fail(error.value(), path, error.message());
  }
  return 0;
}

int FolderTarget::MakeGroupFolder(const std::u16string& group) {
  const fs::path folder = Below(group);
  if (folder.empty()) return EINVAL;
  return MakeFolders(folder);
}

int FolderTarget::BeginFile(const std::u16string& group, const std::u16string& name) {
  const fs::path relative = Below(group == kRootGroupName ? name : group + u"\\" + name);
  if (relative.empty()) return EINVAL;
  if (relative.has_parent_path()) {
    if (int error = MakeFolders(relative.parent_path())) return error;
  }
  m_current = m_root / relative;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(m_current, error);
  if (fs::is_symlink(status)) return Fail(ELOOP, m_current, "is a symbolic link; nothing is written through one");
  if (fs::is_directory(status)) return Fail(EISDIR, m_current, "a folder stands where a file must go");
  m_file = OpenFile(m_current, "wb");
  if (!m_file) return Fail(errno, m_current, "cannot be created: " + ErrnoText(errno));
  return 0;
}

int FolderTarget::WriteData(const unsigned char* data, std::size_t size) {
  if (std::fwrite(data, 1, size, m_file.get()) != size)
    return Fail(errno, m_current, "cannot be written: " + ErrnoText(errno));
  if (m_pProgress) m_pProgress->Advance(size);
  return 0;
}

int FolderTarget::EndFile() {
  std::FILE* file = m_file.release();
  if (std::fclose(file) != 0) return Fail(errno, m_current, "cannot be written: " + ErrnoText(errno));
  ++m_nFiles;
  return 0;
}

void FolderTarget::AbandonFile() {
  if (!m_file) return;
  m_file.reset();
  std::error_code ignored;
  fs::remove(m_current, ignored);  // a file cut short is not left behind
}

}  // namespace tobrin::pack
