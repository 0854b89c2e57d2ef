#include "contract/payload_lookup.h"

#include "contract/stored_names.h"

namespace nsTobrin {

std::u16string PathBelowFolder(const std::u16string& folder, const std::u16string& name) {
  return Backslashed(folder.empty() ? name : folder + u"\\" + name);
}

PayloadLookup::PayloadLookup(const std::u16string& executeFileName, SameNameFunction sameName)
    : m_executeFileName(executeFileName), m_wanted(Backslashed(executeFileName)), m_sameName(sameName) {}

void PayloadLookup::Offer(const std::u16string& folder, const std::u16string& name, std::size_t index) {
  // An empty ExecuteFileName names nothing; once an entry has the name
  // itself, the paths no longer matter.
  if (m_executeFileName.empty() || m_match == PayloadMatch::EntryName) return;
  if (name == m_executeFileName) m_match = PayloadMatch::EntryName;
  else if (m_sameName(PathBelowFolder(folder, name), m_wanted)) m_match = PayloadMatch::PathBelowFolder;
  else return;
  m_nIndex = index;
  m_pFolder = &folder;
}

bool AnswersToPayloadName(const std::u16string& folder, const std::u16string& name,
                          const std::u16string& executeFileName, SameNameFunction sameName) {
  return name == executeFileName || sameName(PathBelowFolder(folder, name), Backslashed(executeFileName));
}

}  // namespace nsTobrin
