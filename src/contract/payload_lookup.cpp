#include "contract/payload_lookup.h"

#include "contract/stored_names.h"

namespace nsTobrin {

std::u16string PathBelowFolder(const PayloadCandidate& file) {
  return Backslashed(file.folder.empty() ? file.name : file.folder + u"\\" + file.name);
}

PayloadFound FindPayloadEntry(const std::vector<PayloadCandidate>& files, const std::u16string& executeFileName,
                              SameNameFunction sameName) {
  PayloadFound found;
  if (executeFileName.empty()) return found;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (files[i].name == executeFileName) return {PayloadMatch::EntryName, i};
  const std::u16string wanted = Backslashed(executeFileName);
  for (std::size_t i = 0; i < files.size(); ++i)
    if (sameName(PathBelowFolder(files[i]), wanted)) found = {PayloadMatch::PathBelowFolder, i};
  return found;
}

bool AnswersToPayloadName(const PayloadCandidate& file, const std::u16string& executeFileName,
                          SameNameFunction sameName) {
  return file.name == executeFileName || sameName(PathBelowFolder(file), Backslashed(executeFileName));
}

}  // namespace nsTobrin
