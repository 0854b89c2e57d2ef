#include "folder_target.h"

#include <cerrno>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "package/package_format.h"

namespace nsTobrin {

#ifdef _WIN32
int OpenFolder::Open(const fs::path& path) {
  std::error_code error;
  const fs::file_status status = LinkStatus(path, error);
  if (fs::is_symlink(status)) return ELOOP;
  if (!fs::is_directory(status)) return fs::exists(status) ? ENOTDIR : ENOENT;
  m_path = path;
  return 0;
}
bool OpenFolder::IsOpen() const { return !m_path.empty(); }
#else
int OpenFolder::Open(const fs::path& path) {
  FileDescriptor fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) return errno;
  m_fd = std::move(fd);
  return 0;
}
bool OpenFolder::IsOpen() const { return m_fd.Valid(); }
#endif

FolderTarget::~FolderTarget() { AbandonFile(); }

int FolderTarget::Fail(int error, const fs::path& path, const std::string& reason) {
  m_failedPath = PathToUtf8(path);
  m_failureReason = reason;
  return error ? error : EIO;
}

fs::path FolderTarget::Below(const std::u16string& relative) {
  // The reader refuses every name that is absolute or climbs out; the
  // components are joined one by one (PathFromStoredName), so no separator
  // of this system can hide in them either.
  if (const char* why = CheckStoredName(relative)) {
    Fail(EINVAL, m_rootPath, "the package name \"" + PathToUtf8(NameFromUtf16(relative)) + "\" is refused: " + why);
    return fs::path();
  }
  return PathFromStoredName(relative);
}

namespace {

// The reason for an error of opening a folder or a file without following links.
std::string OpenReason(int error, bool folder) {
  if (error == ELOOP) return "is a symbolic link; nothing is written through one";
  if (error == ENOTDIR) return "a file stands where a folder must go";
  if (error == EISDIR) return "a folder stands where a file must go";
  return std::string(folder ? "cannot be made: " : "cannot be created: ") + ErrnoText(error);
}

}  // namespace

int FolderTarget::MakeFolders(const fs::path& relativeFolder, OpenFolder& opened) {
  fs::path path = m_rootPath;
  OpenFolder current;
#ifdef _WIN32
  current.m_path = m_root.m_path;
#else
  current.m_fd.Reset(dup(m_root.m_fd.Get()));
  if (!current.m_fd) return Fail(errno, path, ErrnoText(errno));
#endif
  for (const fs::path& component : relativeFolder) {
    path /= component;
    OpenFolder next;
#ifdef _WIN32
    int error = next.Open(path);
    if (error == ENOENT)
      error = CreateDirectoryW(LongForm(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS ? next.Open(path)
                                                                                                         : LastErrno();
#else
    auto openBelow = [&] {
      next.m_fd.Reset(openat(current.m_fd.Get(), component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      return next.m_fd ? 0 : errno;
    };
    int error = openBelow();
    if (error == ENOENT) error = mkdirat(current.m_fd.Get(), component.c_str(), 0777) == 0 || errno == EEXIST ? openBelow() : errno;
#endif
    if (error) return Fail(error, path, OpenReason(error, true));
    current = std::move(next);
    if (m_folderOpened) m_folderOpened(path);
  }
  opened = std::move(current);
  return 0;
}

int FolderTarget::MakeGroupFolder(const std::u16string& group) {
  const fs::path folder = Below(group);
  if (folder.empty()) return EINVAL;
  OpenFolder opened;
  return MakeFolders(folder, opened);
}

int FolderTarget::BeginFile(const std::u16string& group, const std::u16string& name) {
  const fs::path relative = Below(group == kRootGroupName ? name : group + u"\\" + name);
  if (relative.empty()) return EINVAL;
  if (int error = MakeFolders(relative.parent_path(), m_currentFolder)) return error;
  m_current = m_rootPath / relative;
#ifdef _WIN32
  OpenFolder file;
  const int kind = file.Open(m_current);
  if (kind == ELOOP || kind == 0) return Fail(kind ? ELOOP : EISDIR, m_current, OpenReason(kind ? ELOOP : EISDIR, false));
  m_file = OpenFile(m_current, "wb");
  if (!m_file) return Fail(errno, m_current, OpenReason(errno, false));
#else
  FileDescriptor fd(openat(m_currentFolder.m_fd.Get(), relative.filename().c_str(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!fd) return Fail(errno, m_current, OpenReason(errno, false));
  m_file = StreamOver(fd, "wb");
  if (!m_file) return Fail(errno, m_current, OpenReason(errno, false));
#endif
  return 0;
}

int FolderTarget::WriteData(const unsigned char* data, std::size_t size) {
  if (std::fwrite(data, 1, size, m_file.Get()) != size)
    return Fail(errno, m_current, "cannot be written: " + ErrnoText(errno));
  if (m_pProgress) m_pProgress->Advance(size);
  return 0;
}

int FolderTarget::EndFile() {
  if (!CloseChecked(m_file)) return Fail(errno, m_current, "cannot be written: " + ErrnoText(errno));
  ++m_nFiles;
  return 0;
}

void FolderTarget::AbandonFile() {
  if (!m_file) return;
  m_file.Reset();  // a file cut short is not left behind
#ifdef _WIN32
  RemoveEntry(m_current);
#else
  unlinkat(m_currentFolder.m_fd.Get(), m_current.filename().c_str(), 0);
#endif
}

}  // namespace nsTobrin
