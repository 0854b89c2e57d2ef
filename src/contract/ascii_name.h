// A fixed ASCII name the runner and the packer both use, written once and
// held in the two forms they need: bytes for the packer's text and UTF-16
// for the runner's system calls and the packer's UTF-16 names.
#pragma once

namespace nsTobrin {

struct AsciiName {
  const char* text;
  const char16_t* utf16;
};

}  // namespace nsTobrin

// Both forms of one string literal.
#define TOBRIN_ASCII_NAME(literal) ::nsTobrin::AsciiName{literal, u"" literal}
