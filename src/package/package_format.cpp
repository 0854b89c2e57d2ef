#include "package/package_format.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "contract/little_endian.h"

namespace nsTobrin {

const std::u16string kRootGroupName = u"E8FF0748-2339-49f9-9A79-824D7561736C";

const std::u16string& GroupFolder(const std::u16string& group) {
  static const std::u16string kNoFolder;
  return group == kRootGroupName ? kNoFolder : group;
}

bool SeekTo(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::uint64_t Tell(std::FILE* file) {
#ifdef _WIN32
  return static_cast<std::uint64_t>(_ftelli64(file));
#else
  return static_cast<std::uint64_t>(ftello(file));
#endif
}

std::size_t StdioFileBytes::ReadAt(std::uint64_t offset, unsigned char* out, std::size_t size) {
  return SeekTo(m_pFile, offset) ? std::fread(out, 1, size, m_pFile) : 0;
}

namespace {

// Reads the directory while keeping count of the bytes left in the file, so
// that no count or length can make it allocate or loop beyond the input.
class DirectoryReader {
 public:
  DirectoryReader(std::FILE* file, std::uint64_t remaining, ByteObserver* observer = nullptr)
      : m_pFile(file), m_nRemaining(remaining), m_pObserver(observer) {}

  bool ReadU32(std::uint32_t& value) {
    unsigned char b[4];
    if (m_nRemaining < 4 || std::fread(b, 1, 4, m_pFile) != 4) return false;
    m_nRemaining -= 4;
    if (m_pObserver) m_pObserver->Observe(b, 4);
    value = LoadU32(b);
    return true;
  }

  enum class NameRead { Ok, TooLong, CutShort };

  // Reads `units` UTF-16LE code units; the name ends at its first NUL. The
  // length is checked while it is still the stored 32-bit number, so that no
  // conversion to a narrower size can cut it on any build.
  NameRead ReadName(std::uint32_t units, std::u16string& name) {
    if (units > kMaxNameUnits) return NameRead::TooLong;
    const std::size_t bytes = 2 * static_cast<std::size_t>(units);
    if (bytes > m_nRemaining) return NameRead::CutShort;
    std::string raw(bytes, '\0');
    if (bytes && std::fread(&raw[0], 1, bytes, m_pFile) != bytes) return NameRead::CutShort;
    m_nRemaining -= bytes;
    if (m_pObserver && bytes) m_pObserver->Observe(reinterpret_cast<const unsigned char*>(raw.data()), raw.size());
    name.clear();
    for (std::size_t i = 0; i < bytes; i += 2) {
      const char16_t unit = static_cast<char16_t>(U16At(raw, i));
      if (unit == 0) break;
      name.push_back(unit);
    }
    return NameRead::Ok;
  }

  std::uint64_t Remaining() const { return m_nRemaining; }

 private:
  std::FILE* m_pFile;
  std::uint64_t m_nRemaining;
  ByteObserver* m_pObserver;
};

// Null when the name was read; otherwise why the record is refused.
const char* NameReadFailure(DirectoryReader::NameRead result, bool group) {
  switch (result) {
    case DirectoryReader::NameRead::Ok:
      return nullptr;
    case DirectoryReader::NameRead::TooLong:
      return group ? "a group name is longer than 32,767 code units" : "a file name is longer than 32,767 code units";
    case DirectoryReader::NameRead::CutShort:
      break;
  }
  return group ? "a group record runs past the end of the file" : "an entry record runs past the end of the file";
}

PackageLayout Refuse(PackageLayout layout, PackageStatus status, std::string reason) {
  layout.status = status;
  layout.reason = std::move(reason);
  return layout;
}

}  // namespace

std::string PackageMarkBytes(PackageMark mark) {
  switch (mark) {
    case PackageMark::SealedStored:
      return std::string(kSealedStoredMark, sizeof kSealedStoredMark);
    case PackageMark::Compressed:
      return std::string(kCompressedMark, sizeof kCompressedMark);
    case PackageMark::CompressedRewritten:
      return std::string(kCompressedRewrittenMark, sizeof kCompressedRewrittenMark);
    case PackageMark::Unmarked:
      break;
  }
  return std::string(4, '\0');
}

// The one place a mark is told from its bytes. The marks differ from zeros
// and from each other in several bits, so no single flipped bit clears a mark
// or turns it into another: it becomes an unknown one.
static bool ReadPackageMark(std::FILE* file, PackageMark& mark) {
  char bytes[4];
  if (!SeekTo(file, kPackageMarkPosition) || std::fread(bytes, 1, 4, file) != 4) return false;
  for (PackageMark known : {PackageMark::Unmarked, PackageMark::SealedStored, PackageMark::Compressed,
                            PackageMark::CompressedRewritten}) {
    if (PackageMarkBytes(known).compare(0, 4, bytes, 4) == 0) {
      mark = known;
      return true;
    }
  }
  return false;
}

std::uint64_t FileSizeOf(std::FILE* file) {
  const std::uint64_t position = Tell(file);
#ifdef _WIN32
  _fseeki64(file, 0, SEEK_END);
#else
  fseeko(file, 0, SEEK_END);
#endif
  const std::uint64_t size = Tell(file);
  SeekTo(file, position);
  return size;
}

static PackageLayout ReadDirectoryRecords(std::FILE* file, PackageDirectory& directory, ByteObserver* observer) {
  directory.clear();
  PackageLayout layout;
  layout.fileSize = FileSizeOf(file);

  std::uint32_t offset = 0;
  if (layout.fileSize < kPackageOffsetPosition + 4 || !SeekTo(file, kPackageOffsetPosition) ||
      !DirectoryReader(file, 4).ReadU32(offset)) {
    return Refuse(layout, PackageStatus::NoPackage, "the file is too short to carry a package");
  }
  layout.packageOffset = offset;
  if (offset == 0) return Refuse(layout, PackageStatus::NoPackage, "the file carries no package (offset 0)");
  if (!ReadPackageMark(file, layout.mark))
    return Refuse(layout, PackageStatus::Damaged, "the package's mark (bytes 28 to 31) is unknown");
  if (offset < kPackageOffsetPosition + 4)
    return Refuse(layout, PackageStatus::Damaged, "the package offset lies inside the header");
  if (offset > kMaxPackageOffset)
    return Refuse(layout, PackageStatus::Damaged, "the package offset is 2 GiB or more, beyond what the runner reads");
  if (offset >= layout.fileSize)
    return Refuse(layout, PackageStatus::Damaged, "the package offset lies beyond the end of the file");
  if (!SeekTo(file, offset)) return Refuse(layout, PackageStatus::Damaged, "the package cannot be reached");

  DirectoryReader reader(file, layout.fileSize - offset, observer);
  PackageDirectory read;
  std::uint32_t groupCount = 0;
  if (!reader.ReadU32(groupCount)) return Refuse(layout, PackageStatus::Damaged, "the group count is cut short");

  // Each group record takes at least 8 bytes and each entry record at least
  // 8, so these loops end at the end of the file whatever the counts say.
  for (std::uint32_t g = 0; g < groupCount; ++g) {
    std::uint32_t nameLength = 0, entryCount = 0;
    std::u16string groupName;
    if (!reader.ReadU32(nameLength) || !reader.ReadU32(entryCount))
      return Refuse(layout, PackageStatus::Damaged, "a group record runs past the end of the file");
    if (const char* why = NameReadFailure(reader.ReadName(nameLength, groupName), true))
      return Refuse(layout, PackageStatus::Damaged, why);
    if (entryCount > reader.Remaining() / 8)
      return Refuse(layout, PackageStatus::Damaged, "an entry count runs past the end of the file");
    if (const char* why = CheckStoredName(groupName))
      return Refuse(layout, PackageStatus::Damaged, std::string("a group name is refused: ") + why);

    std::vector<PackageEntry> entries;
    // Room grows with the records read, not with what the count claims.
    entries.reserve(std::min<std::uint32_t>(entryCount, 1024));
    for (std::uint32_t e = 0; e < entryCount; ++e) {
      PackageEntry entry;
      std::uint32_t length = 0;
      if (!reader.ReadU32(length) || !reader.ReadU32(entry.size))
        return Refuse(layout, PackageStatus::Damaged, "an entry record runs past the end of the file");
      if (const char* why = NameReadFailure(reader.ReadName(length, entry.name), false))
        return Refuse(layout, PackageStatus::Damaged, why);
      if (entry.size > kMaxFileSize)
        return Refuse(layout, PackageStatus::Damaged, "a file size is 2 GiB or more");
      if (const char* why = CheckStoredName(entry.name))
        return Refuse(layout, PackageStatus::Damaged, std::string("a file name is refused: ") + why);
      entries.push_back(std::move(entry));
    }
    // The first group of a name wins; a later one of the same name is dropped.
    read.emplace(std::move(groupName), std::move(entries));
  }

  layout.groupRecords = groupCount;
  for (auto& group : read) {
    for (PackageEntry& entry : group.second) {
      entry.decodedOffset = layout.dataSize;
      layout.dataSize += entry.size;
    }
  }
  layout.storedSize = layout.dataSize;
  if (IsCompressed(layout.mark)) {
    std::uint32_t low = 0, high = 0;
    if (!reader.ReadU32(low) || !reader.ReadU32(high))
      return Refuse(layout, PackageStatus::Damaged, "the compressed data area's length is cut short");
    layout.storedSize = low | static_cast<std::uint64_t>(high) << 32;
  }
  layout.dataOffset = layout.fileSize - reader.Remaining();
  if (layout.storedSize > reader.Remaining())
    return Refuse(layout, PackageStatus::Damaged, "the data area is cut short");

  directory.swap(read);
  layout.status = PackageStatus::Ok;
  return layout;
}

PackageLayout ReadPackageDirectory(std::FILE* file, PackageDirectory& directory, ByteObserver* observer) {
  // A directory of more entries or longer names than memory holds (a 32-bit
  // runner cannot keep a hundred million entries) is refused, never fatal.
  try {
    return ReadDirectoryRecords(file, directory, observer);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  directory.clear();
  PackageLayout layout;
  layout.fileSize = FileSizeOf(file);
  return Refuse(layout, PackageStatus::Damaged, "the package directory is too large to hold in memory");
}

}  // namespace nsTobrin
