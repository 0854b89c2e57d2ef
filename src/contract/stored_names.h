// A stored name (a group's or an entry's, or ExecuteFileName) is a path
// below the extraction folder whose components are separated by '\' or '/'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nsTobrin {

constexpr bool IsNameSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Calls `visit` with each component of `name` in order, split at either
// separator, empty ones included ("a\\b" gives "a", "" and "b"); stops at the
// first call that answers true and then answers true itself.
template <typename Visit>
bool AnyComponent(std::u16string_view name, Visit visit) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || IsNameSeparator(name[i])) {
      if (visit(name.substr(start, i - start))) return true;
      start = i + 1;
    }
  }
  return false;
}

// The components of `name`, as AnyComponent visits them. The views point
// into `name`.
std::vector<std::u16string_view> SplitStoredName(std::u16string_view name);

// The folders a name lies in, each as the name's text up to it: "a\b\c"
// gives "a" and "a\b".
std::vector<std::u16string_view> ParentFoldersOf(std::u16string_view name);

// The name with every '/' made a '\', the form Windows opens it in.
std::u16string Backslashed(std::u16string name);

}  // namespace nsTobrin
