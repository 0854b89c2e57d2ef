#include "contract/stored_names.h"

namespace nsTobrin {

std::vector<std::u16string_view> SplitStoredName(std::u16string_view name) {
  std::vector<std::u16string_view> parts;
  AnyComponent(name, [&parts](std::u16string_view part) {
    parts.push_back(part);
    return false;
  });
  return parts;
}

std::vector<std::u16string_view> ParentFoldersOf(std::u16string_view name) {
  std::vector<std::u16string_view> parents;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (IsNameSeparator(name[i])) parents.push_back(name.substr(0, i));
  return parents;
}

std::u16string Backslashed(std::u16string name) {
  for (char16_t& c : name)
    if (c == u'/') c = u'\\';
  return name;
}

}  // namespace nsTobrin
