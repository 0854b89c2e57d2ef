// Writes the bound package: used by the packer and by the tests, so that the
// runner reads what its own writer writes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "package/package_format.h"

namespace nsTobrin {

// Where a file's content goes: the package file itself, or the encoder.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
};

class FileSink : public ByteSink {
 public:
  explicit FileSink(std::FILE* file) : m_pFile(file) {}
  bool Write(const void* data, std::size_t size) override {
    return size == 0 || std::fwrite(data, 1, size, m_pFile) == size;
  }

 private:
  std::FILE* m_pFile;
};

struct WriterFile {
  std::u16string name;
  std::uint32_t size = 0;
  // Writes exactly `size` bytes of the file's content; false on failure.
  // Called once per layout written (twice when a package that does not
  // compress is stored after all).
  std::function<bool(ByteSink& out)> writeContent;
};

struct WriterGroup {
  std::u16string name;
  std::vector<WriterFile> files;
};

// Content held in memory (tests, small files).
WriterFile FileFromBytes(std::u16string name, std::string bytes);

// Writes the package at the current position of `out`: the group records in
// the order given, then the data area in the order the runner reads it
// (ascending ordinal group names; of two groups of one name only the first).
bool WritePackage(std::FILE* out, const std::vector<WriterGroup>& groups);

enum class PackageSealing { Unsealed, Sealed };

// Appends a package to an executable open for reading and writing, after its
// last byte, and writes the package's mark at byte 28 and its offset at
// byte 32. Sealed: the mark "TbSe", and the seal record follows the data
// area, its digest taken from the bytes as they lie in the file; unsealed:
// a mark of zeros.
bool AppendPackage(std::FILE* executable, const std::vector<WriterGroup>& groups,
                   PackageSealing sealing = PackageSealing::Unsealed);

// The compressed layout (marked "TbZs", always sealed): the directory, the
// stream's length, the data area as one zstd stream at `level` (1 to 22)
// whose window is at most 64 MiB and no larger than the data, the seal over
// the stored bytes. Where the stream would not be smaller than the data, the
// package is written sealed in the stored layout instead; `compressed` tells
// which was written. Defined with the encoder (package_encoder.cpp), which
// only the packer and the tests link.
// With `rewriteAddresses` the PE32 files' addresses are rewritten before the
// encoder (package_decoder.h) and the mark is "TbAr", else "TbZs".
constexpr int kDefaultCompressionLevel = 19;
bool AppendCompressedPackage(std::FILE* executable, const std::vector<WriterGroup>& groups,
                             int level = kDefaultCompressionLevel, bool* compressed = nullptr,
                             bool rewriteAddresses = true);

// The pieces both layouts share.
std::string DirectoryBytes(const std::vector<WriterGroup>& groups);
std::uint64_t DataSizeOf(const std::vector<WriterGroup>& groups);  // as the reader counts it
std::vector<std::uint32_t> FileSizesInDataOrder(const std::vector<WriterGroup>& groups);
bool WriteDataArea(ByteSink& out, const std::vector<WriterGroup>& groups);
// Seals the package from `offset` to the end of the file when `sealed`, and
// writes `mark` at byte 28 and the offset at byte 32.
bool FinishPackage(std::FILE* executable, std::uint64_t offset, PackageMark mark, bool sealed);
// Cuts the file off at `size`.
bool TruncateFile(std::FILE* file, std::uint64_t size);

// Little-endian helper for callers that craft their own bytes.
void PutU32(std::string& out, std::uint32_t value);
void PutName(std::string& out, const std::u16string& name);

}  // namespace nsTobrin
