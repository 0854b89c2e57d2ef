// The bound package: a directory of named files followed by their bytes,
// appended to the runner's own executable file. Portable C++17; names are
// UTF-16 code units so that their ordinal order is the same everywhere.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "contract/pe_headers.h"

namespace nsTobrin {

// The group whose files lie directly in the extraction folder.
extern const std::u16string kRootGroupName;  // u"E8FF0748-2339-49f9-9A79-824D7561736C"

// The folder below the extraction folder that a group's files go to: none
// (an empty name) for the root group, else the group's name. Refers to
// `group` or to an empty text that lasts as long as the program.
const std::u16string& GroupFolder(const std::u16string& group);

// Byte 32 of the executable (the MS-DOS header's reserved words) holds the
// absolute file offset of the package.
constexpr std::uint64_t kPackageOffsetPosition = 32;

// Bytes 28 to 31 (the reserved words before the offset, ignored by the loader
// and covered by an Authenticode signature) hold the package's mark: how the
// package is laid out and what its readers must demand of it.
constexpr std::uint64_t kPackageMarkPosition = 28;
enum class PackageMark {
  Unmarked,      // four zero bytes: the plain format (other writers, --no-seal);
                 // a seal found after the data area is still checked
  SealedStored,  // "TbSe": stored files followed by a seal, which must be there and valid
  Compressed,    // "TbZs": the data area is one zstd stream, followed by a seal, which
                 // must be there and valid (a compressed package is always sealed)
  CompressedRewritten,  // "TbAr": as "TbZs", with the addresses of the PE32 files among
                        // the files rewritten before they were compressed (package_decoder.h)
};
constexpr char kSealedStoredMark[4] = {'T', 'b', 'S', 'e'};
// Five bits from "TbSe": no flipped bit turns one layout into the other.
constexpr char kCompressedMark[4] = {'T', 'b', 'Z', 's'};
// Six bits from "TbSe", five from "TbZs".
constexpr char kCompressedRewrittenMark[4] = {'T', 'b', 'A', 'r'};

// True for the marks of the compressed layout, rewritten or not.
inline bool IsCompressed(PackageMark mark) {
  return mark == PackageMark::Compressed || mark == PackageMark::CompressedRewritten;
}

// The four bytes of a mark (zeros for Unmarked).
std::string PackageMarkBytes(PackageMark mark);

// Every file of a package is smaller than 2 GiB, and so is the package offset.
constexpr std::uint64_t kMaxFileSize = 0x7FFFFFFFu;
constexpr std::uint64_t kMaxPackageOffset = 0x7FFFFFFFu;

// No path of the system is longer, so no stored name may be either.
constexpr std::uint32_t kMaxNameUnits = 32767;

struct PackageEntry {
  std::u16string name;
  std::uint32_t size = 0;
  // Where the file's bytes begin in the data area as decoded: the files'
  // bytes one after the other in the directory's order. Stored, the data
  // area is that, so the bytes lie at the layout's dataOffset plus this;
  // compressed, it counts bytes out of the decoder. Set by
  // ReadPackageDirectory.
  std::uint64_t decodedOffset = 0;
};

// Group name -> the group's entries in record order. std::u16string compares
// its code units as unsigned 16-bit values: the data area's order.
using PackageDirectory = std::map<std::u16string, std::vector<PackageEntry>>;

enum class PackageStatus {
  Ok,         // the directory is read and the data area lies complete in the file
  NoPackage,  // the file carries no package (offset 0, or too short to hold one)
  Damaged,    // the package cannot be trusted: nothing of it may be used
};

struct PackageLayout {
  PackageStatus status = PackageStatus::NoPackage;
  std::string reason;             // why the package is not Ok, in plain words
  std::uint64_t packageOffset = 0;
  std::uint64_t dataOffset = 0;   // first byte of the data area
  std::uint64_t dataSize = 0;     // the sum of all file sizes
  // The data area's bytes in the file: dataSize in the stored layout; in
  // the compressed one the stream's length, which the 8 bytes (little-endian)
  // after the directory hold (the directory's last field: the data area
  // starts after it).
  std::uint64_t storedSize = 0;
  std::uint64_t fileSize = 0;
  PackageMark mark = PackageMark::Unmarked;  // read before the directory
  // Group records read; more than the directory holds when a name repeats
  // (the first group of a name wins).
  std::uint32_t groupRecords = 0;
};

// Receives a package's bytes in file order as they are read (the seal's
// running digest).
class ByteObserver {
 public:
  virtual ~ByteObserver() = default;
  virtual void Observe(const unsigned char* data, std::size_t size) = 0;
};

// Reads the package's mark and directory of an open executable file into
// `directory` (which is left empty unless the result is Ok) and leaves the
// file positioned at the first byte of the data area. A mark of any other
// bytes than those of PackageMark makes the package Damaged. Every count, length and size
// is checked against the end of the file before it is used, and every name
// against the rules of CheckStoredName. `observer`, when given, sees every
// byte of the directory as it is read.
PackageLayout ReadPackageDirectory(std::FILE* file, PackageDirectory& directory, ByteObserver* observer = nullptr);

// Null when `name` is a relative path that stays inside the folder it is
// joined to; otherwise the reason it is refused.
const char* CheckStoredName(const std::u16string& name);

// Null when the file to start (ExecuteFileName), joined to the extraction
// folder, cannot name anything outside it; otherwise the reason. Says
// nothing about whether the file is in the package (an empty name passes).
const char* CheckPayloadName(const std::u16string& name);

// 64-bit file positioning on every platform.
bool SeekTo(std::FILE* file, std::uint64_t offset);
std::uint64_t Tell(std::FILE* file);
std::uint64_t FileSizeOf(std::FILE* file);  // restores the position

// An open file's bytes for the PE reader; moves the file's position.
class StdioFileBytes final : public PeFileBytes {
 public:
  explicit StdioFileBytes(std::FILE* file) : m_pFile(file) {}
  std::size_t ReadAt(std::uint64_t offset, unsigned char* out, std::size_t size) override;

 private:
  std::FILE* m_pFile;
};

}  // namespace nsTobrin
