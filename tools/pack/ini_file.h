// The package's settings files read as the runner's platform reads them
// with GetPrivateProfileStringW: sections and keys found by name without
// regard to ASCII letter case, the first section of a name and the first key
// of a name win, a value cut to kSettingValueLimit UTF-16 code units, a value
// in matching quotes loses them, and the runner's default (kAbsentValue)
// counts as absent (contract/settings_contract.h).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "contract/settings_contract.h"

namespace nsTobrin {

enum class IniEncoding {
  Missing,     // no such file: every key is absent
  EightBit,    // no byte-order mark: read in the user's ANSI code page
  Utf8Bom,
  Utf16LeBom,
  Utf16BeBom,
};

struct IniValue {
  std::u16string text;
  bool cut = false;  // the file holds more than the kSettingValueLimit code units that arrive
};

class IniFile {
 public:
  IniFile() = default;  // a missing file
  static IniFile Parse(const std::string& bytes);

  // The value the runner reads, or nothing when it reads its default.
  std::optional<IniValue> Read(const char* section, const char* key) const;
  std::optional<IniValue> Read(const SettingKey& key) const { return Read(key.section.text, key.key.text); }

  IniEncoding Encoding() const { return m_encoding; }
  // An 8-bit file that looks like UTF-16 written without a byte-order mark,
  // which the runner does not read.
  bool LooksLikeUtf16WithoutBom() const { return m_bUtf16WithoutBom; }
  // An 8-bit file whose bytes form valid UTF-8 with at least one non-ASCII
  // character (a UTF-8 file saved without the byte-order mark).
  bool LooksLikeUtf8WithoutBom() const { return m_bUtf8WithoutBom; }

 private:
  struct Key {
    std::u16string name;
    std::optional<std::u16string> value;  // a line without '=' has none
  };
  struct Section {
    std::u16string name;
    std::vector<Key> keys;
  };

  IniEncoding m_encoding = IniEncoding::Missing;
  bool m_bUtf16WithoutBom = false;
  bool m_bUtf8WithoutBom = false;
  std::vector<Section> m_sections;
};

// What the profile reader takes off around names and values: the Unicode
// white space, and Ctrl-Z.
bool IsIniBlank(char16_t c);

}  // namespace nsTobrin
