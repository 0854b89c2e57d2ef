// Text conversions of the packer: UTF-8 on the command line and the terminal,
// UTF-16 code units in the package.
#pragma once

#include <string>

namespace tobrin::pack {

// Strict: false for bytes that are not UTF-8 (overlong forms, surrogates,
// code points beyond U+10FFFF, cut sequences).
bool Utf8ToUtf16(const std::string& utf8, std::u16string& out);

// For display: an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// True when the text holds an unpaired surrogate.
bool HasUnpairedSurrogate(const std::u16string& text);

// The upper-case form that the Windows file systems compare names by, for
// the letters of the common alphabets (Latin, Greek, Cyrillic, full-width).
char16_t FoldCase(char16_t c);
std::u16string FoldCase(const std::u16string& text);

// ASCII letters only: the way section and key names are matched.
bool EqualsAsciiIgnoreCase(const std::u16string& a, const char* b);

// A JSON string literal (quotes included) for UTF-8 text.
std::string JsonString(const std::string& utf8);

std::string Narrow(const std::u16string& ascii);  // for fixed ASCII names
std::u16string Widen(const char* ascii);

}  // namespace tobrin::pack
