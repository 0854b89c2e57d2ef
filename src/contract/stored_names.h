// A stored name (a group's or an entry's, or ExecuteFileName) is a path
// below the extraction folder whose components are separated by '\' or '/'.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nsTobrin {

constexpr bool IsNameSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The components of `name`, split at either separator; empty ones are kept
// ("a\\b" gives "a", "" and "b"). The views point into `name`.
std::vector<std::u16string_view> SplitStoredName(std::u16string_view name);

// The folders a name lies in, each as the name's text up to it: "a\b\c"
// gives "a" and "a\b".
std::vector<std::u16string_view> ParentFoldersOf(std::u16string_view name);

// The name with every '/' made a '\', the form Windows opens it in.
std::u16string Backslashed(std::u16string name);

}  // namespace nsTobrin
