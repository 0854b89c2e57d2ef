// One view of a package's groups and files, whether they still lie in a
// folder (create) or already in a packed program (list, verify): the checks
// and the settings reading work on it alike.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "native_files.h"

namespace nsTobrin {

struct ViewFile {
  std::u16string name;
  std::uint64_t size = 0;
  std::uint64_t decodedOffset = 0;  // in a packed program: its entry's (PackageEntry)
  fs::path source;           // where it lies on disk, for a folder
  // The bytes of a file the packer writes itself (a settings file made from
  // the command line), which lies nowhere on disk.
  std::shared_ptr<const std::string> content;
};

struct ViewGroup {
  std::u16string name;
  std::vector<ViewFile> files;
  bool IsRoot() const;
  // The folder below the extraction folder: empty for the root group.
  std::u16string Folder() const;
};

class PackageView {
 public:
  std::vector<ViewGroup> groups;  // in the order of the data area

  // Names a file or folder of the package (its path relative to the
  // extraction folder) for messages.
  std::function<std::string(const std::u16string& relativePath)> subjectOf;
  // Reads a file's bytes, at most `limit` of them; false with `error` set.
  std::function<bool(const ViewFile& file, std::uint64_t limit, std::string& bytes, std::string& error)> read;
  // Reads the first `count` bytes of a file (fewer when it is shorter).
  std::function<bool(const ViewFile& file, std::uint64_t count, std::string& bytes, std::string& error)> readHead;

  const ViewGroup* RootGroup() const;
  std::string Subject(const ViewGroup& group, const ViewFile& file) const;
  std::uint64_t FileCount() const;
  std::uint64_t DataSize() const;
};

// The relative path of a file below the extraction folder.
std::u16string RelativePath(const ViewGroup& group, const ViewFile& file);

}  // namespace nsTobrin
