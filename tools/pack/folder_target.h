// Writes a package's files into a folder of the packer's user, as the
// runner writes them into its extraction folder: root-group files into the
// folder itself, every other group into its subfolder (made even when it
// stays empty), folders that a file's name implies made first. On POSIX
// every folder and file is opened relative to the descriptor of the folder
// above it, never through a symbolic link, so a folder swapped for a link
// while extract runs cannot lead it outside the target.
#pragma once

#include <functional>
#include <string>

#include "common/file_descriptor.h"
#include "native_files.h"
#include "package/package_copy.h"
#include "progress.h"

namespace nsTobrin {

// An open folder: a descriptor on POSIX, its path on Windows.
class OpenFolder {
 public:
  // Opens `path` as a folder, a link not followed; 0 or the error.
  int Open(const fs::path& path);
  bool IsOpen() const;

 private:
  friend class FolderTarget;
#ifdef _WIN32
  fs::path m_path;
#else
  FileDescriptor m_fd;
#endif
};

class FolderTarget : public ExtractionTarget {
 public:
  // `root` is open already: the folder extract made or found empty.
  FolderTarget(fs::path rootPath, OpenFolder root, ProgressBar* progress)
      : m_rootPath(std::move(rootPath)), m_root(std::move(root)), m_pProgress(progress) {}
  ~FolderTarget() override;

  // For tests: called with each folder's path once it is open and before
  // anything inside it is opened.
  void OnFolderOpened(std::function<void(const fs::path&)> hook) { m_folderOpened = std::move(hook); }

  int MakeGroupFolder(const std::u16string& group) override;
  int BeginFile(const std::u16string& group, const std::u16string& name) override;
  int WriteData(const unsigned char* data, std::size_t size) override;
  int EndFile() override;
  void AbandonFile() override;

  // The path and the reason of the last failure.
  const std::string& FailedPath() const { return m_failedPath; }
  const std::string& FailureReason() const { return m_failureReason; }
  std::uint64_t FilesWritten() const { return m_nFiles; }

 private:
  // The path below the root for a stored relative name; empty, with the
  // error set, when the name would leave the root.
  fs::path Below(const std::u16string& relative);
  // Opens (making when missing) every folder of `relativeFolder` in turn.
  int MakeFolders(const fs::path& relativeFolder, OpenFolder& opened);
  int Fail(int error, const fs::path& path, const std::string& reason);

  fs::path m_rootPath;
  OpenFolder m_root;
  ProgressBar* m_pProgress;
  std::function<void(const fs::path&)> m_folderOpened;
  StdioFile m_file;
  OpenFolder m_currentFolder;  // the folder the open file lies in
  fs::path m_current;          // its path, for messages
  std::string m_failedPath, m_failureReason;
  std::uint64_t m_nFiles = 0;
};

}  // namespace nsTobrin
