#include "contract/pe_headers.h"

#include <algorithm>
#include <cstring>

#include "contract/little_endian.h"

namespace nsTobrin {

PeHeaders ReadPeHeaders(PeFileBytes& file) {
  PeHeaders pe;
  unsigned char dos[64], coff[24], optional[kPeOptionalHeaderRead] = {};
  if (file.ReadAt(0, dos, sizeof dos) != sizeof dos) return pe;
  pe.read = PeRead::NoMz;
  if (dos[0] != 'M' || dos[1] != 'Z') return pe;
  pe.read = PeRead::NoPeHeader;
  pe.peOffset = LoadU32(dos + 0x3C);
  if (file.ReadAt(pe.peOffset, coff, sizeof coff) != sizeof coff) return pe;
  pe.read = PeRead::NoPeSignature;
  if (std::memcmp(coff, "PE\0\0", 4) != 0) return pe;
  pe.read = PeRead::Headers;
  pe.sectionCount = LoadU16(coff + 6);
  pe.optionalSize = LoadU16(coff + 20);
  pe.characteristics = LoadU16(coff + 22);

  pe.optionalRead =
      file.ReadAt(pe.peOffset + 24ull, optional, std::min<std::size_t>(pe.optionalSize, kPeOptionalHeaderRead));
  if (pe.optionalRead >= 2) pe.magic = LoadU16(optional);
  if (pe.optionalRead >= 64) pe.headersSize = LoadU32(optional + 60);
  const std::size_t countAt = pe.DirectoryCountAt();
  if (pe.optionalRead >= countAt + 4) pe.directoryCount = LoadU32(optional + countAt);
  constexpr std::uint32_t kSecurityDirectory = 4;
  const std::size_t securityAt = countAt + 4 + 8 * kSecurityDirectory;
  if (pe.directoryCount > kSecurityDirectory && pe.optionalRead >= securityAt + 8) {
    pe.certificateOffset = LoadU32(optional + securityAt);
    pe.certificateSize = LoadU32(optional + securityAt + 4);
  }
  return pe;
}

}  // namespace nsTobrin
