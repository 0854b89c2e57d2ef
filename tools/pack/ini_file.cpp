#include "ini_file.h"

#include "text.h"

namespace nsTobrin {

// What the profile reader counts as blank around names and values: the
// Unicode white space, and Ctrl-Z.
bool IsIniBlank(char16_t c) {
  return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

namespace {

// The ANSI code page is the user's; the packer shows bytes as Latin-1.
std::u16string DecodeEightBit(const std::string& bytes) {
  std::u16string out;
  for (char c : bytes) out.push_back(static_cast<unsigned char>(c));
  return out;
}

bool HasNonAscii(const std::string& bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

}  // namespace

IniFile IniFile::Parse(const std::string& bytes) {
  IniFile ini;
  std::u16string text;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    ini.m_encoding = IniEncoding::Utf8Bom;
    text = Utf8ToUtf16Replacing(bytes, 3);
  } else if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0) {
    ini.m_encoding = IniEncoding::Utf16LeBom;
    text = Utf16ToText(bytes, 2, false);
  } else if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFE\xFF") == 0) {
    ini.m_encoding = IniEncoding::Utf16BeBom;
    text = Utf16ToText(bytes, 2, true);
  } else {
    ini.m_encoding = IniEncoding::EightBit;
    text = DecodeEightBit(bytes);
    std::size_t zeros = 0;
    for (char c : bytes) zeros += c == '\0';
    ini.m_bUtf16WithoutBom = bytes.size() >= 4 && zeros * 4 >= bytes.size();
    std::u16string ignored;
    ini.m_bUtf8WithoutBom = HasNonAscii(bytes) && Utf8ToUtf16(bytes, ignored);
  }

  // Keys before the first section line belong to a section without a name.
  ini.m_sections.push_back(Section());
  std::size_t next = 0;
  while (next < text.size()) {
    std::size_t start = next;
    // A line ends at the next line feed or carriage return, whichever comes
    // first: a lone carriage return ends a line even in a file of CR LF.
    std::size_t end = text.find_first_of(u"\r\n", start);
    next = end == std::u16string::npos ? text.size() : end + 1;
    end = next;
    while (start < end && IsIniBlank(text[start])) ++start;
    while (end > start && IsIniBlank(text[end - 1])) --end;
    if (start >= end) continue;

    if (text[start] == u'[') {
      // The section name runs to the last ']' of the line.
      std::size_t close = end - 1;
      while (close > start && text[close] != u']') --close;
      if (close > start) {
        Section section;
        section.name = text.substr(start + 1, close - start - 1);
        ini.m_sections.push_back(std::move(section));
        continue;
      }
      // Without a ']' the line is read as a key.
    }

    Key key;
    const std::size_t equals = text.find(u'=', start);
    if (equals != std::u16string::npos && equals < end) {
      std::size_t nameEnd = equals;
      while (nameEnd > start && IsIniBlank(text[nameEnd - 1])) --nameEnd;
      std::size_t valueStart = equals + 1;
      while (valueStart < end && IsIniBlank(text[valueStart])) ++valueStart;
      key.name = text.substr(start, nameEnd - start);
      key.value = text.substr(valueStart, end - valueStart);
    } else {
      key.name = text.substr(start, end - start);
    }
    ini.m_sections.back().keys.push_back(std::move(key));
  }
  return ini;
}

std::optional<IniValue> IniFile::Read(const char* section, const char* key) const {
  for (const Section& s : m_sections) {
    if (!EqualsAsciiIgnoreCase(s.name, section)) continue;
    // Only the first section of a name is searched.
    for (const Key& k : s.keys) {
      if (!EqualsAsciiIgnoreCase(k.name, key)) continue;
      if (!k.value) return std::nullopt;
      std::u16string value = *k.value;
      // The NUL that ends the copied text ends the value.
      value = value.substr(0, value.find(u'\0'));
      bool quoted = false;
      if (value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0]) {
        quoted = true;
        value.erase(0, 1);
      }
      // The copy takes kSettingValueLimit code units; the closing quote is then dropped
      // as the last of them when the quoted text was no longer than the buffer.
      IniValue result;
      result.text = value.substr(0, kSettingValueLimit);
      if (quoted && value.size() <= kSettingValueLimit + 1) result.text.pop_back();
      result.cut = result.text.size() < value.size() - (quoted ? 1 : 0);
      if (IsAbsentSettingValue(result.text.c_str())) return std::nullopt;
      return result;
    }
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace nsTobrin
