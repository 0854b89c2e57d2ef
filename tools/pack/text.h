// Text conversions of the packer: UTF-8 on the command line and the terminal,
// UTF-16 code units in the package.
#pragma once

#include <string>

namespace nsTobrin {

// Strict: false for bytes that are not UTF-8 (overlong forms, surrogates,
// code points beyond U+10FFFF, cut sequences).
bool Utf8ToUtf16(const std::string& utf8, std::u16string& out);

// For display: an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// UTF-8 with each byte that does not begin a valid sequence read as U+FFFD,
// as the system's conversion reads it; from byte `start`.
std::u16string Utf8ToUtf16Replacing(const std::string& bytes, std::size_t start = 0);

// UTF-16 code units from bytes (from byte `start`; an odd last byte is
// dropped), and UTF-16LE bytes of a text.
std::u16string Utf16ToText(const std::string& bytes, std::size_t start, bool bigEndian);
std::string Utf16LeBytes(const std::u16string& text);

// True when the text holds an unpaired surrogate.
bool HasUnpairedSurrogate(const std::u16string& text);

// Names as the Windows file systems compare them: code unit by code unit,
// each in its upper-case form (the system's own ordinal comparison without
// regard to case on Windows, ICU's simple upper-case mapping elsewhere).
bool SameNameOnWindows(const std::u16string& a, const std::u16string& b);
// An order in which names that Windows takes for one are equal.
struct WindowsNameLess {
  bool operator()(const std::u16string& a, const std::u16string& b) const;
};

// ASCII letters only: the way section and key names are matched.
bool EqualsAsciiIgnoreCase(const std::u16string& a, const char* b);

// Text from a package or a file name made safe for a terminal: control
// characters and the marks that reorder text (bidirectional overrides and
// isolates) are shown as escapes (\x1b, \u202e); a backslash stays as it is.
std::string Printable(const std::string& utf8);

std::string Narrow(const std::u16string& ascii);  // for fixed ASCII names
std::u16string Widen(const char* ascii);

}  // namespace nsTobrin
