#include "pe_image.h"

#include <string>

#include "package/package_format.h"

namespace nsTobrin {

namespace {

std::uint32_t U32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

bool ReadAt(std::FILE* file, std::uint64_t offset, std::size_t size, std::string& out) {
  out.assign(size, '\0');
  return SeekTo(file, offset) && (size == 0 || std::fread(&out[0], 1, size, file) == size);
}

PeImage Invalid(PeImage image, const char* reason) {
  image.valid = false;
  image.reason = reason;
  return image;
}

constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kDll = 0x2000;
constexpr std::uint32_t kSecurityDirectory = 4;

}  // namespace

PeImage ReadPeImage(std::FILE* file) {
  PeImage image;
  image.fileSize = FileSizeOf(file);
  std::string dos;
  if (image.fileSize < 64 || !ReadAt(file, 0, 64, dos)) return Invalid(image, "it is too short to be a program");
  if (dos[0] != 'M' || dos[1] != 'Z') return Invalid(image, "it does not start with an MS-DOS header (\"MZ\")");
  image.packageField = U32(dos, 32);
  const std::uint32_t peOffset = U32(dos, 0x3C);
  if (peOffset < 64)
    return Invalid(image, "its PE header starts inside the MS-DOS header, where the package offset is written");

  std::string coff;
  if (peOffset > image.fileSize || image.fileSize - peOffset < 24 || !ReadAt(file, peOffset, 24, coff))
    return Invalid(image, "its PE header lies beyond the end of the file");
  if (coff.compare(0, 4, std::string("PE\0\0", 4)) != 0) return Invalid(image, "it has no PE signature");
  const std::uint16_t sectionCount = U16(coff, 6);
  const std::uint16_t optionalSize = U16(coff, 20);
  const std::uint16_t characteristics = U16(coff, 22);
  if (!(characteristics & kExecutableImage)) return Invalid(image, "it is not marked as an executable image");
  if (characteristics & kDll) return Invalid(image, "it is a DLL, not a program");

  const std::uint64_t optionalOffset = peOffset + 24ull;
  std::string optional;
  if (optionalSize < 2 || optionalOffset + optionalSize > image.fileSize ||
      !ReadAt(file, optionalOffset, optionalSize, optional))
    return Invalid(image, "its optional header is cut short");
  const std::uint16_t magic = U16(optional, 0);
  if (magic != 0x10B && magic != 0x20B) return Invalid(image, "its optional header is neither PE32 nor PE32+");
  image.is64 = magic == 0x20B;
  const std::size_t directoryCountAt = image.is64 ? 108 : 92;
  if (optionalSize < directoryCountAt + 4 || optionalSize < 64) return Invalid(image, "its optional header is cut short");
  image.headersSize = U32(optional, 60);
  const std::uint32_t directoryCount = U32(optional, directoryCountAt);
  const std::size_t securityAt = directoryCountAt + 4 + 8 * kSecurityDirectory;
  if (directoryCount > kSecurityDirectory && optionalSize >= securityAt + 8) {
    image.certificateOffset = U32(optional, securityAt);
    image.certificateSize = U32(optional, securityAt + 4);
  }

  const std::uint64_t sectionTable = optionalOffset + optionalSize;
  std::string sections;
  if (sectionCount == 0) return Invalid(image, "it has no sections");
  if (sectionTable + 40ull * sectionCount > image.fileSize || !ReadAt(file, sectionTable, 40ull * sectionCount, sections))
    return Invalid(image, "its section table is cut short");
  image.imageEnd = image.headersSize;
  for (std::uint16_t s = 0; s < sectionCount; ++s) {
    const std::uint32_t rawSize = U32(sections, 40u * s + 16);
    const std::uint32_t rawOffset = U32(sections, 40u * s + 20);
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
