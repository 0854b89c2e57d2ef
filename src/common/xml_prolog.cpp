#include "common/xml_prolog.h"

#include <windows.h>

#include "common/win_owners.h"

namespace nsTobrin {

namespace {

// The file's characters as code units of one to two bytes, read in pieces.
class CUnitReader {
 public:
  explicit CUnitReader(const wchar_t* path)
      : m_file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!m_file.Valid() || !Fill()) return;
    const unsigned char* b = m_buffer;
    if (m_nSize >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
      m_nPosition = 3;
    } else if (m_nSize >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
      m_nWidth = 2;
      m_bBigEndian = b[0] == 0xFE;
      m_nPosition = 2;
    } else if (m_nSize >= 2 && ((b[0] == '<' && b[1] == 0) || (b[0] == 0 && b[1] == '<'))) {
      m_nWidth = 2;
      m_bBigEndian = b[0] == 0;
    }
  }

  // False at the end of the file (or on a read error).
  bool Next(unsigned& unit) {
    unit = 0;
    for (unsigned i = 0; i < m_nWidth; ++i) {
      if (m_nPosition == m_nSize && !Fill()) return false;
      const unsigned byte = m_buffer[m_nPosition++];
      unit = m_bBigEndian ? unit << 8 | byte : unit | byte << (8 * i);
    }
    return true;
  }

 private:
  bool Fill() {
    DWORD read = 0;
    if (!m_file.Valid() || !ReadFile(m_file.Get(), m_buffer, sizeof m_buffer, &read, nullptr) || read == 0) return false;
    m_nSize = read;
    m_nPosition = 0;
    return true;
  }

  KernelHandle m_file;
  unsigned char m_buffer[4096];
  DWORD m_nSize = 0, m_nPosition = 0;
  unsigned m_nWidth = 1;
  bool m_bBigEndian = false;
};

bool IsSpace(unsigned c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameStart(unsigned c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
}

// Reads past the first ">" that follows `count` or more of `before`: the "?"
// of "?>", the "--" of "-->".
bool SkipPast(CUnitReader& reader, unsigned before, unsigned count) {
  unsigned run = 0, c = 0;
  while (reader.Next(c)) {
    if (c == '>' && run >= count) return true;
    run = c == before ? run + 1 : 0;
  }
  return false;
}

}  // namespace

bool HasPlainProlog(const wchar_t* path) {
  CUnitReader reader(path);
  unsigned c = 0;
  for (;;) {
    if (!reader.Next(c)) return false;
    if (IsSpace(c)) continue;
    if (c != '<' || !reader.Next(c)) return false;
    if (c == '?') {
      if (!SkipPast(reader, '?', 1)) return false;
    } else if (c == '!') {
      unsigned first = 0, second = 0;
      if (!reader.Next(first) || !reader.Next(second) || first != '-' || second != '-') return false;
      if (!SkipPast(reader, '-', 2)) return false;
    } else {
      return IsNameStart(c);
    }
  }
}

}  // namespace nsTobrin
