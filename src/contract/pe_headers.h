// The headers of a Windows executable (PE) file, as the runner and the
// packer read them: the runner to find the certificate table its package
// must stay out of, the packer to check the runner it binds a package to and
// whether the payload is a program Windows starts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nsTobrin {

// A file's bytes as the reader asks for them.
class PeFileBytes {
 public:
  // Reads up to `size` bytes at `offset` into `out`: the count read, fewer
  // at the end of the file or when it cannot be read.
  virtual std::size_t ReadAt(std::uint64_t offset, unsigned char* out, std::size_t size) = 0;

 protected:
  ~PeFileBytes() = default;
};

// How far the headers could be read.
enum class PeRead {
  NoDosHeader,    // fewer than the MS-DOS header's 64 bytes
  NoMz,           // the file does not start with "MZ"
  NoPeHeader,     // the 24 bytes of the PE signature and file header are not all there
  NoPeSignature,  // they do not start with "PE\0\0"
  Headers,        // the file header is read; the optional header's fields as far as it goes
};

// The bytes of the optional header the reader reads at most: up to the end
// of the security directory of a PE32+ header.
constexpr std::size_t kPeOptionalHeaderRead = 108 + 4 + 8 * 5;

struct PeHeaders {
  PeRead read = PeRead::NoDosHeader;
  std::uint32_t peOffset = 0;  // the MS-DOS header's e_lfanew
  // The file header.
  std::uint16_t sectionCount = 0, optionalSize = 0, characteristics = 0;
  // The optional header: `optionalRead` of its bytes were read (at most
  // kPeOptionalHeaderRead); a field beyond them is 0.
  std::size_t optionalRead = 0;
  std::uint16_t magic = 0;  // 0x10B PE32, 0x20B PE32+
  std::uint32_t headersSize = 0;
  std::uint32_t directoryCount = 0;
  std::uint32_t certificateOffset = 0, certificateSize = 0;  // the security directory; 0 when it has none

  bool Is64() const { return magic == 0x20B; }
  // Where the data directories' count lies in the optional header.
  std::size_t DirectoryCountAt() const { return Is64() ? 108 : 92; }
  // An executable image, not a DLL: what CreateProcessW starts.
  bool IsProgram() const { return (characteristics & 0x0002) && !(characteristics & 0x2000); }
  bool HasCertificateTable() const { return certificateOffset != 0 || certificateSize != 0; }
  std::uint64_t SectionTableOffset() const { return peOffset + 24ull + optionalSize; }
};

// Reads the MS-DOS header, the PE file header and the optional header up to
// its security directory. Only bytes the file holds are used.
PeHeaders ReadPeHeaders(PeFileBytes& file);

}  // namespace nsTobrin
