// How the runner finds the file ExecuteFileName names, which the packer
// checks the same way. First the entry whose stored name is ExecuteFileName
// exactly, the first in the order of the data area: the runner starts it in
// its group's folder. Otherwise the runner starts ExecuteFileName as a path
// below the extraction folder, and Windows finds the file whose path there
// is the same, names compared as Windows compares them (ordinal, without
// regard to letter case); of several entries that are that one file, the
// last written is the one on disk.
//
// The comparison is the platform's: the runner passes the system's ordinal
// comparison, the packer its own copy of it on Linux.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace nsTobrin {

using SameNameFunction = bool (*)(const std::u16string& a, const std::u16string& b);

// The file's path below the extraction folder (`folder` is empty for the
// root group), in backslashes.
std::u16string PathBelowFolder(const std::u16string& folder, const std::u16string& name);

enum class PayloadMatch {
  None,             // no file of the package
  EntryName,        // the entry of that name: started in its group's folder
  PathBelowFolder,  // the file at that path below the extraction folder
};

// The lookup, offered every file of the package in the order of the data
// area. The folders it is offered must outlive it.
class PayloadLookup {
 public:
  PayloadLookup(const std::u16string& executeFileName, SameNameFunction sameName);

  // `folder`: the file's folder below the extraction folder, empty for the
  // root group; `index`: anything the caller finds the file by again.
  void Offer(const std::u16string& folder, const std::u16string& name, std::size_t index);

  PayloadMatch Match() const { return m_match; }
  // Of the file found, unless Match() is None.
  std::size_t Index() const { return m_nIndex; }
  const std::u16string& Folder() const { return *m_pFolder; }

 private:
  const std::u16string m_executeFileName;
  const std::u16string m_wanted;  // as a path, in backslashes
  const SameNameFunction m_sameName;
  PayloadMatch m_match = PayloadMatch::None;
  std::size_t m_nIndex = 0;
  const std::u16string* m_pFolder = nullptr;
};

// True when ExecuteFileName could name the file by either rule: the stored
// name exactly, or the same path below the extraction folder.
bool AnswersToPayloadName(const std::u16string& folder, const std::u16string& name,
                          const std::u16string& executeFileName, SameNameFunction sameName);

}  // namespace nsTobrin
