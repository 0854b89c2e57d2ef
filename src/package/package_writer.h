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

struct WriterFile {
  std::u16string name;
  std::uint32_t size = 0;
  // Writes exactly `size` bytes of the file's content; false on failure.
  std::function<bool(std::FILE* out)> writeContent;
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

// Little-endian helper for callers that craft their own bytes.
void PutU32(std::string& out, std::uint32_t value);
void PutName(std::string& out, const std::u16string& name);

}  // namespace nsTobrin
