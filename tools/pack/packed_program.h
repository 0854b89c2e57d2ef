// A packed program opened for reading: its PE headers, its package's
// layout and directory (read by the runner's own reader) and a view of its
// files with their places in the data area.
#pragma once

#include <string>

#include "native_files.h"
#include "package/package_format.h"
#include "package/package_seal.h"
#include "package_view.h"
#include "pe_image.h"

namespace nsTobrin {

struct PackedProgram {
  fs::path path;
  std::string subject;  // the path for messages
  StdioFile file;
  PeImage pe;
  PackageLayout layout;
  PackageDirectory directory;
  Seal seal;         // read when the directory is; a malformed one makes the layout Damaged
  PackageView view;  // filled when the layout is Ok
};

// Opens and reads a packed program. False, with `error` set, only when the
// file cannot be opened; everything else is told by `pe` and `layout`.
bool OpenPackedProgram(const fs::path& path, PackedProgram& program, std::string& error);

// Opens a packed program whose package must be readable (list, extract):
// kExitOk, or the exit code of the refusal it has printed.
int OpenReadablePackage(const std::string& packed, PackedProgram& program);

// The end of the package: the end of the data area, or of the seal after it.
std::uint64_t PackageEnd(const PackedProgram& program);

// Decodes `bytes.size()` bytes of a compressed data area from the decoded
// position `from`; false when the stream does not hold them.
bool DecodeRange(std::FILE* file, const PackageLayout& layout, const PackageDirectory& directory, std::uint64_t from,
                 std::string& bytes);

// For a sealed package: the digest of its directory and data area as they
// lie in the file; false when they cannot be read.
bool DigestPackage(const PackedProgram& program, SealDigestBytes& digest);

}  // namespace nsTobrin
