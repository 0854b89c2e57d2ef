// What the packer needs to know of a PE executable: that it is one, where
// its image ends, and whether it carries a certificate table.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace nsTobrin {

struct PeImage {
  bool valid = false;
  std::string reason;            // why the file is not a usable PE program
  bool is64 = false;             // PE32+
  std::uint64_t fileSize = 0;
  std::uint64_t headersSize = 0;  // SizeOfHeaders: the bytes that must stay as they are
  std::uint64_t imageEnd = 0;     // the end of the last section's raw data
  std::uint32_t packageField = 0;  // bytes 32 to 35
  std::uint32_t certificateOffset = 0;  // the certificate table entry: a file offset ...
  std::uint32_t certificateSize = 0;    // ... and a size; both 0 when unsigned
  bool HasCertificate() const { return certificateOffset != 0 || certificateSize != 0; }
};

// Reads the headers of an executable program (not a DLL). `valid` is false,
// with the reason, for anything else; the file position is not kept.
PeImage ReadPeImage(std::FILE* file);

}  // namespace nsTobrin
