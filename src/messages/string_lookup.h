// Reading one entry of the program's string table in a stated language.
#pragma once

#include <windows.h>

#include <string>

namespace nsTobrin {

// Looks string `id` up among the languages the module actually stores for
// its block, in this order: exactly `language`; the same primary language
// with the neutral sublanguage; the neutral language 0x0000. An entry of
// length zero counts as not found and the search goes on. True when found;
// otherwise `text` keeps its value. The system's own fallbacks of the
// resource and string loaders are not used, as they differ between systems.
bool LoadStringInLanguage(HMODULE module, UINT id, LANGID language, std::wstring& text);

}  // namespace nsTobrin
