#include "text.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#else
#include <unicode/uchar.h>
#endif

namespace nsTobrin {

bool Utf8ToUtf16(const std::string& utf8, std::u16string& out) {
  out.clear();
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0;
    std::size_t extra = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      cp = lead & 0x1F, extra = 1, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      cp = lead & 0x0F, extra = 2, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      cp = lead & 0x07, extra = 3, minimum = 0x10000;
    } else {
      return false;
    }
    if (extra > 0 && i + extra >= utf8.size()) return false;  // cut short
    for (std::size_t k = 1; k <= extra; ++k) {
      const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return true;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

bool HasUnpairedSurrogate(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

#ifdef _WIN32
// SameNameOnWindows: the runner's own, common/windows_names.cpp.

bool WindowsNameLess::operator()(const std::u16string& a, const std::u16string& b) const {
  return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                              reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()),
                              TRUE) == CSTR_LESS_THAN;
}
#else
namespace {

// The file systems' upper-case table maps single code units; surrogates,
// and so the characters beyond U+FFFF, stay as they are.
char16_t UpperUnit(char16_t c) {
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  const UChar32 upper = u_toupper(c);
  return upper <= 0xFFFF ? static_cast<char16_t>(upper) : c;
}

int CompareUpper(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = UpperUnit(a[i]), y = UpperUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

bool SameNameOnWindows(const std::u16string& a, const std::u16string& b) { return CompareUpper(a, b) == 0; }

bool WindowsNameLess::operator()(const std::u16string& a, const std::u16string& b) const {
  return CompareUpper(a, b) < 0;
}
#endif

bool EqualsAsciiIgnoreCase(const std::u16string& a, const char* b) {
  std::size_t i = 0;
  for (; b[i]; ++i) {
    if (i >= a.size()) return false;
    char16_t x = a[i], y = static_cast<unsigned char>(b[i]);
    if (x >= u'A' && x <= u'Z') x += 0x20;
    if (y >= u'A' && y <= u'Z') y += 0x20;
    if (x != y) return false;
  }
  return i == a.size();
}

namespace {

bool ReordersText(char16_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

// UTF-8 with each byte that does not begin a valid sequence read as U+FFFD.
std::u16string Utf8ToUtf16Replacing(const std::string& bytes, std::size_t start) {
  std::u16string out, piece;
  for (std::size_t i = start; i < bytes.size();) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + length <= bytes.size() && Utf8ToUtf16(bytes.substr(i, length), piece)) {
      out += piece;
      i += length;
    } else {
      out.push_back(0xFFFD);
      ++i;
    }
  }
  return out;
}

std::u16string Utf16ToText(const std::string& bytes, std::size_t start, bool bigEndian) {
  std::u16string out;
  for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
    const unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
  }
  return out;
}

std::string Utf16LeBytes(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(2 * text.size());
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::string Printable(const std::string& utf8) {
  std::string out;
  const std::u16string text = Utf8ToUtf16Replacing(utf8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    char escape[8];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {  // a pair, from valid UTF-8
      out += Utf16ToUtf8(text.substr(i++, 2));
      continue;
    }
    if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof(escape), "\\x%02x", static_cast<unsigned>(c));
      out += escape;
    } else if ((c >= 0x80 && c < 0xA0) || ReordersText(c)) {
      std::snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += Utf16ToUtf8(std::u16string(1, c));
    }
  }
  return out;
}

std::string Narrow(const std::u16string& ascii) { return Utf16ToUtf8(ascii); }

std::u16string Widen(const char* ascii) {
  std::u16string out;
  for (; *ascii; ++ascii) out.push_back(static_cast<unsigned char>(*ascii));
  return out;
}

}  // namespace nsTobrin
