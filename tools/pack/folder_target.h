// Writes a package's files into a folder of the packer's user, as the
// runner writes them into its extraction folder: root-group files into the
// folder itself, every other group into its subfolder (made even when it
// stays empty), folders that a file's name implies made first.
#pragma once

#include <string>

#include "native_files.h"
#include "package/package_copy.h"
#include "progress.h"

namespace tobrin::pack {

class FolderTarget : public ExtractionTarget {
 public:
  FolderTarget(fs::path root, ProgressBar* progress) : m_root(std::move(root)), m_pProgress(progress) {}
  ~FolderTarget() override;

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
  int MakeFolders(const fs::path& relativeFolder);
  int Fail(int error, const fs::path& path, const std::string& reason);

  fs::path m_root;
  ProgressBar* m_pProgress;
  FilePtr m_file;
  fs::path m_current;
  std::string m_failedPath, m_failureReason;
  std::uint64_t m_nFiles = 0;
};

}  // namespace tobrin::pack
