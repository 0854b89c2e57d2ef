#include "pe_image.h"

#include <string>

#include "contract/little_endian.h"
#include "contract/pe_headers.h"
#include "package/package_format.h"

namespace nsTobrin {

namespace {

PeImage Invalid(PeImage image, const char* reason) {
  image.valid = false;
  image.reason = reason;
  return image;
}

}  // namespace

PeImage ReadPeImage(std::FILE* file) {
  PeImage image;
  image.fileSize = FileSizeOf(file);
  StdioFileBytes bytes(file);
  const PeHeaders pe = ReadPeHeaders(bytes);
  if (pe.read == PeRead::NoDosHeader) return Invalid(image, "it is too short to be a program");
  if (pe.read == PeRead::NoMz) return Invalid(image, "it does not start with an MS-DOS header (\"MZ\")");
  unsigned char field[4] = {};
  bytes.ReadAt(kPackageOffsetPosition, field, sizeof field);
  image.packageField = LoadU32(field);
  if (pe.peOffset < 64)
    return Invalid(image, "its PE header starts inside the MS-DOS header, where the package offset is written");
  if (pe.read == PeRead::NoPeHeader) return Invalid(image, "its PE header lies beyond the end of the file");
  if (pe.read == PeRead::NoPeSignature) return Invalid(image, "it has no PE signature");
  if (!(pe.characteristics & 0x0002)) return Invalid(image, "it is not marked as an executable image");
  if (!pe.IsProgram()) return Invalid(image, "it is a DLL, not a program");

  if (pe.optionalSize < 2 || pe.peOffset + 24ull + pe.optionalSize > image.fileSize)
    return Invalid(image, "its optional header is cut short");
  if (pe.magic != 0x10B && pe.magic != 0x20B) return Invalid(image, "its optional header is neither PE32 nor PE32+");
  image.is64 = pe.Is64();
  if (pe.optionalSize < pe.DirectoryCountAt() + 4 || pe.optionalSize < 64)
    return Invalid(image, "its optional header is cut short");
  image.headersSize = pe.headersSize;
  image.certificateOffset = pe.certificateOffset;
  image.certificateSize = pe.certificateSize;

  const std::uint64_t sectionTable = pe.SectionTableOffset();
  if (pe.sectionCount == 0) return Invalid(image, "it has no sections");
  std::string sections(40u * pe.sectionCount, '\0');
  if (sectionTable + sections.size() > image.fileSize ||
      bytes.ReadAt(sectionTable, reinterpret_cast<unsigned char*>(&sections[0]), sections.size()) != sections.size())
    return Invalid(image, "its section table is cut short");
  image.imageEnd = image.headersSize;
  for (std::uint16_t s = 0; s < pe.sectionCount; ++s) {
    const std::uint32_t rawSize = U32At(sections, 40u * s + 16);
    const std::uint32_t rawOffset = U32At(sections, 40u * s + 20);
    if (rawSize == 0) continue;
    const std::uint64_t end = static_cast<std::uint64_t>(rawOffset) + rawSize;
    if (end > image.fileSize) return Invalid(image, "a section's data lies beyond the end of the file");
    if (end > image.imageEnd) image.imageEnd = end;
  }
  if (image.headersSize > image.fileSize) return Invalid(image, "its headers are larger than the file");
  image.valid = true;
  return image;
}

}  // namespace nsTobrin
