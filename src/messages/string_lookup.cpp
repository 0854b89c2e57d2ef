#include "messages/string_lookup.h"

#include <algorithm>
#include <vector>

namespace nsTobrin {

namespace {

constexpr UINT kStringsPerBlock = 16;

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
  reinterpret_cast<std::vector<LANGID>*>(param)->push_back(language);
  return TRUE;
}

// The languages in which the module stores a string block.
std::vector<LANGID> StoredLanguages(HMODULE module, UINT block) {
  std::vector<LANGID> languages;
  EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(block), CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

// The entry at `position` of the block stored under exactly `language`; an
// empty text when the entry is empty or the block is damaged.
std::wstring ReadEntry(HMODULE module, UINT block, UINT position, LANGID language) {
  HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), language);
  if (!found) return std::wstring();
  HGLOBAL loaded = LoadResource(module, found);
  const auto* data = static_cast<const WCHAR*>(loaded ? LockResource(loaded) : nullptr);
  if (!data) return std::wstring();
  // Each entry: a count of UTF-16 code units, then the units, no terminator.
  const DWORD units = SizeofResource(module, found) / sizeof(WCHAR);
  DWORD at = 0;
  for (UINT i = 0; i < position; ++i) {
    if (at >= units) return std::wstring();
    at += 1 + data[at];
  }
  if (at >= units || data[at] > units - at - 1) return std::wstring();
  return std::wstring(data + at + 1, data[at]);
}

}  // namespace

bool LoadStringInLanguage(HMODULE module, UINT id, LANGID language, std::wstring& text) {
  const UINT block = id / kStringsPerBlock + 1;
  const UINT position = id % kStringsPerBlock;
  const std::vector<LANGID> stored = StoredLanguages(module, block);
  const LANGID candidates[] = {language, MAKELANGID(PRIMARYLANGID(language), SUBLANG_NEUTRAL),
                               MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)};
  for (const LANGID candidate : candidates) {
    if (std::find(stored.begin(), stored.end(), candidate) == stored.end()) continue;
    std::wstring entry = ReadEntry(module, block, position, candidate);
    if (!entry.empty()) {
      text = std::move(entry);
      return true;
    }
  }
  return false;
}

}  // namespace nsTobrin
