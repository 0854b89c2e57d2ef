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

// A file of the package as the lookup sees it, in the order of the data area.
struct PayloadCandidate {
  std::u16string folder;  // below the extraction folder; empty for the root group
  std::u16string name;    // the entry's stored name
};

// The file's path below the extraction folder, in backslashes.
std::u16string PathBelowFolder(const PayloadCandidate& file);

enum class PayloadMatch {
  None,             // no file of the package
  EntryName,        // the entry of that name: started in its group's folder
  PathBelowFolder,  // the file at that path below the extraction folder
};

struct PayloadFound {
  PayloadMatch match = PayloadMatch::None;
  std::size_t index = 0;  // into the candidates, unless None
};

PayloadFound FindPayloadEntry(const std::vector<PayloadCandidate>& files, const std::u16string& executeFileName,
                              SameNameFunction sameName);

// True when ExecuteFileName could name `file` by either rule: the stored
// name exactly, or the same path below the extraction folder.
bool AnswersToPayloadName(const PayloadCandidate& file, const std::u16string& executeFileName,
                          SameNameFunction sameName);

}  // namespace nsTobrin
