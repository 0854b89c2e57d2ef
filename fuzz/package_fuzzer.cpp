// libFuzzer harness for the bound package reader, the stored-name check and
// the copy walk. The input is a whole program file: it is opened as a stream
// (fmemopen) and read the way the runner reads its own file.
//
// What must hold for every input:
// - a refused package leaves the directory empty and says why;
// - an accepted one lies inside the input, leaves the stream at its data
//   area, and every group and file name in it stays inside the extraction
//   folder once Windows has normalised the joined path;
// - the copy walk hands out exactly the stated bytes, in directory order,
//   never making a folder for the root group;
// - writing the accepted directory back with the writer and reading it again
//   gives the same directory and the same bytes;
// - a seal is read only after a complete data area; a malformed one, or a
//   package reaching into a certificate table, is refused with a reason;
// - the digest of the directory as the reader hands it out and of the data
//   as the walk reads it equals the digest of those bytes read in one
//   range, and the seal of a sealed rewrite matches the rewrite;
// - a compressed data area is decoded into exactly the stated bytes, or
//   refused as malformed with a reason; either way every stored byte is
//   hashed and nothing is read beyond the data area, and a compressed
//   rewrite decodes into the same bytes;
// - the reader allocates no block larger than a small multiple of the
//   package bytes it has read (room for entries grows with the records read,
//   never with what a count claims), and the copy walk none beyond its piece
//   buffer (a compressed one: beyond its buffers and the window, at most
//   64 MiB, whatever a frame asks for).
// fuzz/run adds a fixed limit for everything (-malloc_limit_mb).
#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/stdio_file.h"
#include "contract/little_endian.h"
#include "contract/stored_names.h"
#include "package/package_copy.h"
#include "package/package_decoder.h"
#include "package/package_format.h"
#include "package/package_seal.h"
#include "package/package_writer.h"

using namespace nsTobrin;

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "package_fuzzer: property violated: %s\n", what);
  std::abort();
}

void Require(bool condition, const char* what) {
  if (!condition) Fail(what);
}

std::uint64_t Position(std::FILE* file) { return static_cast<std::uint64_t>(ftello(file)); }

// --- The largest block allocated while a piece of code runs.

bool g_bMeasuring = false;
std::size_t g_nLargest = 0;

void OnMalloc(const volatile void*, std::size_t size) {
  if (g_bMeasuring && size > g_nLargest) g_nLargest = size;
}
void OnFree(const volatile void*) {}

template <typename Body>
std::size_t LargestAllocation(Body body) {
  g_nLargest = 0;
  g_bMeasuring = true;
  body();
  g_bMeasuring = false;
  return g_nLargest;
}

// What the reader may allocate for the package bytes it has read: a
// PackageEntry takes 40 bytes for the 10 or more bytes of its record (a name
// is never empty) and a growing list may hold twice its entries, so 8 bytes
// for each byte read, and the list's first room of 1024 entries. A block
// sized by what a count claims, before the records are there, exceeds it.
std::uint64_t ReaderAllocationBound(std::uint64_t bytesRead) { return 8 * bytesRead + 64 * 1024; }

// --- Where a name lands, computed the way Win32 turns a path into a full one.

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool IsDosDevice(std::u16string component) {
  component = component.substr(0, component.find(u'.'));
  while (!component.empty() && component.back() == u' ') component.pop_back();
  for (char16_t& c : component) c = Upper(c);
  if (component == u"CON" || component == u"PRN" || component == u"AUX" || component == u"NUL") return true;
  return component.size() == 4 && (component.compare(0, 3, u"COM") == 0 || component.compare(0, 3, u"LPT") == 0) &&
         component[3] >= u'1' && component[3] <= u'9';
}

// True when `relative`, joined below a folder, names a file or folder inside
// that folder: separators are '\' or '/', trailing dots and blanks of a
// component vanish, "." stays and ".." climbs. A drive, a stream, a device,
// a control character or a wildcard makes the name leave the file system's
// ordinary namespace, and an empty result would be the folder itself.
bool LandsInside(const std::u16string& relative) {
  if (relative.empty() || IsNameSeparator(relative[0])) return false;
  for (const char16_t c : relative)
    if (c == u':' || c < 0x20 || c == u'*' || c == u'?' || c == u'<' || c == u'>' || c == u'|' || c == u'"')
      return false;
  int depth = 0;
  const bool leaves = AnyComponent(relative, [&depth](std::u16string_view original) {
    std::u16string_view component = original;
    while (!component.empty() && (component.back() == u'.' || component.back() == u' ')) component.remove_suffix(1);
    if (original == u"..") return --depth < 0;
    if (original == u".") return false;
    // A component that normalises to nothing, or to another name than it
    // was stored under, or to a device, is not a plain name.
    if (component.empty() || component != original || IsDosDevice(std::u16string(component))) return true;
    ++depth;
    return false;
  });
  return !leaves && depth > 0;
}

// --- The copy walk, checked as it goes.

struct CheckingTarget : ExtractionTarget {
  const PackageDirectory& directory;
  PackageDirectory::const_iterator group;
  std::size_t entryIndex = 0;
  bool inFile = false;
  std::uint64_t fileLeft = 0;
  std::uint64_t bytes = 0;
  std::size_t folders = 0;
  // The bytes handed out and where each file ends, in copy order; reserved
  // up front so that the walk's own allocations can be measured alone.
  std::string all;
  std::vector<std::size_t> ends;

  // `keep`: the bytes are kept (a compressed stream of a few KiB may stand
  // for gigabytes, which are only counted).
  bool keep;
  CheckingTarget(const PackageDirectory& d, std::uint64_t dataSize, bool keepBytes = true)
      : directory(d), group(d.begin()), keep(keepBytes) {
    std::size_t files = 0;
    for (const auto& g : d) files += g.second.size();
    if (keep) all.reserve(static_cast<std::size_t>(dataSize));
    ends.reserve(files);
  }

  std::vector<std::string> Contents() const {
    std::vector<std::string> contents;
    std::size_t begin = 0;
    for (std::size_t end : ends) {
      contents.push_back(all.substr(begin, end - begin));
      begin = end;
    }
    return contents;
  }

  int MakeGroupFolder(const std::u16string& name) override {
    Require(!inFile, "a folder is made while a file is open");
    Require(name != kRootGroupName, "a folder is made for the root group");
    Require(CheckStoredName(name) == nullptr && LandsInside(name), "a group folder leaves the extraction folder");
    AdvanceTo(name);
    ++folders;
    return 0;
  }
  int BeginFile(const std::u16string& groupName, const std::u16string& name) override {
    Require(!inFile, "a file begins while another is open");
    Require(CheckStoredName(name) == nullptr, "a file name that the check refuses reaches the target");
    Require(LandsInside(groupName == kRootGroupName ? name : groupName + u"\\" + name),
            "a file leaves the extraction folder");
    AdvanceTo(groupName);
    Require(entryIndex < group->second.size(), "more files than the group holds");
    Require(group->second[entryIndex].name == name, "files out of record order");
    Require(group->second[entryIndex].decodedOffset == bytes, "a file's bytes begin elsewhere than its entry says");
    fileLeft = group->second[entryIndex].size;
    inFile = true;
    return 0;
  }
  int WriteData(const unsigned char* data, std::size_t size) override {
    Require(inFile, "data outside a file");
    Require(size > 0 && size <= kCopyPieceSize, "a piece of no or excessive size");
    Require(size <= fileLeft, "more bytes than the file's stated size");
    fileLeft -= size;
    bytes += size;
    if (!keep) return 0;
    Require(all.size() + size <= all.capacity(), "more bytes than the data area holds");
    all.append(reinterpret_cast<const char*>(data), size);
    return 0;
  }
  int EndFile() override {
    Require(inFile && fileLeft == 0, "a file ends before its stated size");
    inFile = false;
    ++entryIndex;
    ends.push_back(all.size());
    return 0;
  }
  // Only a compressed stream can turn out malformed within a file.
  bool mayAbandon = false;
  void AbandonFile() override {
    Require(mayAbandon && inFile, "a complete package abandons a file");
    inFile = false;
  }

  // Groups are visited in directory order, each once.
  void AdvanceTo(const std::u16string& name) {
    if (group != directory.end() && group->first == name) return;
    while (group != directory.end() && group->first != name) {
      Require(entryIndex == group->second.size(), "a group is left before all its files");
      ++group;
      entryIndex = 0;
    }
    Require(group != directory.end(), "a group out of directory order");
  }
};

// The names of the directory must be checked once more directly: a group
// without entries is only seen by MakeGroupFolder (and not at all when it is
// the root group).
void CheckNames(const PackageDirectory& directory) {
  for (const auto& group : directory) {
    Require(CheckStoredName(group.first) == nullptr && LandsInside(group.first), "an accepted group name leaves");
    for (const PackageEntry& entry : group.second) {
      Require(entry.name.find(u'\0') == std::u16string::npos, "a name keeps a NUL");
      Require(entry.size <= kMaxFileSize, "a file of 2 GiB or more");
      Require(CheckStoredName(entry.name) == nullptr, "an accepted file name is refused by the check");
    }
  }
}

// Writes `directory` with the bytes the copy handed out behind a 36-byte
// stand-in header, sealed, reads it again and demands the same result and
// a seal that matches it.
void CheckRoundTrip(const PackageDirectory& directory, const std::vector<std::string>& contents, std::uint64_t dataSize,
                    std::size_t capacity, PackageMark mark) {
  const bool compressed = IsCompressed(mark);
  std::vector<WriterGroup> groups;
  std::size_t next = 0;
  for (const auto& group : directory) {
    WriterGroup written{group.first, {}};
    for (const PackageEntry& entry : group.second) written.files.push_back(FileFromBytes(entry.name, contents[next++]));
    groups.push_back(std::move(written));
  }
  // The compressed writer may store after all, cutting its file: a real one.
  std::vector<char> buffer(capacity);
  const StdioFile stream(compressed ? std::tmpfile() : fmemopen(buffer.data(), buffer.size(), "w+"));
  Require(stream.Valid(), "a stream for the rewrite");
  std::FILE* file = stream.Get();
  const char header[36] = {'M', 'Z'};
  Require(std::fwrite(header, 1, sizeof header, file) == sizeof header, "writing the stand-in header");
  Require(compressed ? AppendCompressedPackage(file, groups, 1, nullptr, mark == PackageMark::CompressedRewritten)
                     : AppendPackage(file, groups, PackageSealing::Sealed),
          "the writer cannot write what the reader accepted");

  PackageDirectory again;
  SealDigest digest;
  PackageLayout layout = ReadPackageDirectory(file, again, &digest);
  const Seal seal = ReadSeal(file, layout);
  Require(layout.status == PackageStatus::Ok, "the reader refuses what the writer wrote");
  Require(seal.present, "the rewrite carries no seal");
  Require(again.size() == directory.size(), "the rewrite changes the group count");
  auto b = again.cbegin();
  for (auto a = directory.cbegin(); a != directory.cend(); ++a, ++b) {
    Require(a->first == b->first && a->second.size() == b->second.size(), "the rewrite changes a group");
    for (std::size_t i = 0; i < a->second.size(); ++i)
      Require(a->second[i].name == b->second[i].name && a->second[i].size == b->second[i].size,
              "the rewrite changes an entry");
  }
  Require(layout.dataSize == dataSize, "the rewrite changes the data size");
  CheckingTarget target(again, dataSize);
  Require(CopyPackageData(file, layout, again, target, &digest).outcome == CopyOutcome::Done,
          "the rewrite cannot be copied");
  Require(target.Contents() == contents, "the rewrite changes the bytes");
  Require(digest.Result() == seal.digest, "the seal does not match the rewrite");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The input read as one stored name of UTF-16LE code units.
  {
    std::u16string name;
    for (std::size_t i = 0; i + 1 < size; i += 2) name.push_back(static_cast<char16_t>(LoadU16(data + i)));
    if (CheckStoredName(name) == nullptr) Require(LandsInside(name), "an accepted name leaves its folder");
  }
  if (size == 0) return 0;  // fmemopen needs a buffer of at least one byte

  // The input read as a program file.
  const StdioFile stream(fmemopen(const_cast<std::uint8_t*>(data), size, "rb"));
  Require(stream.Valid(), "fmemopen of the input");
  std::FILE* file = stream.Get();
  // The stream's buffer is ours, so that it is not counted as the reader's.
  static char streamBuffer[BUFSIZ];
  std::setvbuf(file, streamBuffer, _IOFBF, sizeof streamBuffer);
  PackageDirectory directory;
  directory[u"left over"];
  PackageLayout layout;
  SealDigest digest;
  const std::size_t readerLargest =
      LargestAllocation([&] { layout = ReadPackageDirectory(file, directory, &digest); });
  const std::uint64_t position = Position(file);
  const std::uint64_t bytesRead = position - std::min<std::uint64_t>(layout.packageOffset, position);
  Require(readerLargest <= ReaderAllocationBound(bytesRead), "the reader allocates more than what it read justifies");
  Require(layout.fileSize == size, "the file size is misread");
  if (layout.status != PackageStatus::Ok) {
    Require(directory.empty(), "a refused package leaves entries behind");
    Require(!layout.reason.empty(), "a refused package gives no reason");
    return 0;
  }
  Require(layout.reason.empty(), "an accepted package carries a reason");
  Require(layout.packageOffset >= kPackageOffsetPosition + 4 && layout.packageOffset < size,
          "the package offset lies outside the file");
  Require(layout.dataOffset > layout.packageOffset && layout.dataOffset <= size, "the data area lies outside the file");
  Require(layout.storedSize <= size - layout.dataOffset, "the data area runs past the end of the file");
  Require(Position(file) == layout.dataOffset, "the stream is not left at the data area");
  CheckNames(directory);
  const Seal seal = ReadSeal(file, layout);
  Require(Position(file) == layout.dataOffset, "reading the seal moves the stream");
  if (layout.status != PackageStatus::Ok) {
    Require(!layout.reason.empty(), "a refused seal gives no reason");
    return 0;
  }
  Require(layout.mark == PackageMark::Unmarked || seal.present, "a package marked as sealed is accepted without its seal");
  Require(!IsCompressed(layout.mark) || seal.present, "a compressed package is accepted without its seal");
  Require(IsCompressed(layout.mark) || layout.storedSize == layout.dataSize,
          "a stored data area's size is not its files'");
  Require(!seal.present || (seal.recordOffset == layout.dataOffset + layout.storedSize &&
                            seal.recordOffset + kSealRecordSize <= size &&
                            seal.covered == seal.recordOffset - layout.packageOffset),
          "an accepted seal lies elsewhere than after the data area or covers other bytes");

  const bool compressed = IsCompressed(layout.mark);
  const bool keep = !compressed || layout.dataSize <= 16 * kCopyPieceSize;
  CheckingTarget target(directory, layout.dataSize, keep);
  CopyResult copied;
  target.mayAbandon = compressed;
  const std::size_t copyLargest =
      LargestAllocation([&] { copied = CopyPackageData(file, layout, directory, target, &digest); });
  Require(copyLargest <= (compressed ? kMaxWindowSize + 2 * kCopyPieceSize : kCopyPieceSize),
          "the copy walk allocates more than its buffers and the window cap");
  const std::uint64_t dataEnd = layout.dataOffset + layout.storedSize;
  Require(Position(file) == dataEnd, "the walk reads beyond its data, or not all of it");
  SealDigest range;
  Require(ObserveRange(file, layout.packageOffset, dataEnd, range), "the package's range cannot be read again");
  Require(range.Result() == digest.Result(), "the reader and the walk hash other bytes than the package's");
  if (compressed && copied.outcome == CopyOutcome::Malformed) {
    Require(*copied.reason != '\0', "a malformed stream gives no reason");
    return 0;
  }
  Require(copied.outcome == CopyOutcome::Done, "a complete package is not copied");
  Require(!target.inFile, "the walk ends inside a file");
  Require(target.bytes == layout.dataSize, "the walk hands out another number of bytes than stated");
  std::size_t files = 0, folders = 0;
  for (const auto& group : directory) {
    files += group.second.size();
    if (group.first != kRootGroupName) ++folders;
  }
  Require(target.ends.size() == files, "the walk skips or repeats files");
  Require(target.folders == folders, "the walk skips a group's folder");

  if (keep) CheckRoundTrip(directory, target.Contents(), layout.dataSize, size + 64 + kSealRecordSize, layout.mark);
  return 0;
}
