// The bound package format: what the writer writes, the reader reads, and
// what a damaged or hostile package gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "contract/little_endian.h"
#include "package/package_copy.h"
#include "package/package_decoder.h"
#include "package/package_format.h"
#include "package/package_seal.h"
#include "package/package_writer.h"
#include "package_bytes.h"

using namespace nsTobrin;
using package_bytes::CompressedBound;
using package_bytes::Flipped;
using package_bytes::RawFrame;
using package_bytes::Records;
using package_bytes::StandInImage;
using package_bytes::WithU32;

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FilePtr FromBytes(const std::string& bytes) {
  FilePtr file(std::tmpfile());
  std::fwrite(bytes.data(), 1, bytes.size(), file.get());
  std::fflush(file.get());
  return file;
}

std::string Bytes(std::FILE* file) {
  std::string bytes(static_cast<std::size_t>(FileSizeOf(file)), '\0');
  SeekTo(file, 0);
  if (!bytes.empty() && std::fread(&bytes[0], 1, bytes.size(), file) != bytes.size()) bytes.clear();
  return bytes;
}

// A stand-in image of `imageSize` bytes with the package of `groups` bound
// to it; `level` > 0: the compressed layout at that level, which must come
// out compressed (unless `compressed` is asked for), its addresses
// rewritten unless told.
std::string Packed(const std::vector<WriterGroup>& groups, PackageSealing sealing = PackageSealing::Unsealed,
                   std::size_t imageSize = 64, int level = 0, bool* compressed = nullptr, bool rewrite = true) {
  FilePtr exe = FromBytes(StandInImage(imageSize));
  bool madeCompressed = false;
  EXPECT_TRUE(level ? AppendCompressedPackage(exe.get(), groups, level, compressed ? compressed : &madeCompressed, rewrite)
                    : AppendPackage(exe.get(), groups, sealing));
  EXPECT_TRUE(!level || compressed || madeCompressed) << "the files must be large enough to compress";
  return Bytes(exe.get());
}

// Collects the files the copy hands out, in order.
struct MemoryTarget : ExtractionTarget {
  std::vector<std::string> contents;
  int writes = 0;
  bool abandoned = false;
  int stopAfterFiles = -1;
  int filesStarted = 0;

  static std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }
  int MakeGroupFolder(const std::u16string&) override { return 0; }
  int BeginFile(const std::u16string&, const std::u16string&) override {
    contents.emplace_back();
    return 0;
  }
  int WriteData(const unsigned char* data, std::size_t size) override {
    ++writes;
    contents.back().append(reinterpret_cast<const char*>(data), size);
    return 0;
  }
  int EndFile() override { return 0; }
  void AbandonFile() override { abandoned = true; }
  bool StopRequested() override { return stopAfterFiles >= 0 && filesStarted >= stopAfterFiles; }
  void FileStarting() override { ++filesStarted; }
};

PackageLayout Read(std::FILE* file, PackageDirectory& directory) { return ReadPackageDirectory(file, directory); }

// A PE32 stand-in of 512 bytes whose security directory can be set.
constexpr std::size_t kSecurityEntry = 64 + 24 + 128;
FilePtr MakePeImage() {
  std::string image = WithU32(WithU32(StandInImage(512), 0x3C, 64), 88 + 92, 16);  // NumberOfRvaAndSizes
  image.replace(64, 4, std::string("PE\0\0", 4));
  image[64 + 20] = static_cast<char>(0xE0);  // SizeOfOptionalHeader
  image[88] = 0x0B;
  image[89] = 0x01;
  return FromBytes(image);
}

// The seal as the runner sees it: the directory and the data hashed as they
// are read, then compared. Returns the layout after the seal was read.
struct SealedRead {
  PackageLayout layout;
  Seal seal;
  bool matches = false;        // copied whole, and the digest is the seal's
  bool digestMatches = false;  // whatever the copy's outcome
  CopyResult copied;
  MemoryTarget target;
  PackageDirectory directory;
};
SealedRead ReadSealed(const std::string& bytes, CopyThreads threads = CopyThreads::One) {
  SealedRead read;
  FilePtr file = FromBytes(bytes);
  PackageDirectory& directory = read.directory;
  SealDigest digest;
  read.layout = ReadPackageDirectory(file.get(), directory, &digest);
  read.seal = ReadSeal(file.get(), read.layout);
  if (read.layout.status != PackageStatus::Ok) return read;
  read.copied = CopyPackageData(file.get(), read.layout, directory, read.target, &digest, threads);
  read.digestMatches = read.seal.present && digest.Result() == read.seal.digest;
  read.matches = read.copied.outcome == CopyOutcome::Done && read.digestMatches;
  return read;
}

}  // namespace

TEST(PackageFormat, TheDocumentedExamplePackage) {
  // Image ends at 376,832; one root group of five files; a signature after.
  const std::vector<WriterGroup> groups = {{kRootGroupName,
                                      {FileFromBytes(u"run.bat", std::string(2530, 'b')),
                                       FileFromBytes(u"Setup1.exe", std::string(790016, 'x')),
                                       FileFromBytes(u"version.txt", std::string(12, 'v')),
                                       FileFromBytes(u"MessageSetting.ini", std::string(39, 'm')),
                                       FileFromBytes(u"AssistFile.ini", std::string(99, 'a'))}}};
  FilePtr exe = FromBytes(Packed(groups, PackageSealing::Unsealed, 376832) + std::string(4 + 5488, '\0'));

  EXPECT_EQ(Bytes(exe.get()).substr(32, 4), std::string("\0\xC0\x05\0", 4));  // 376,832, little-endian

  PackageDirectory directory;
  const PackageLayout layout = Read(exe.get(), directory);
  ASSERT_EQ(layout.status, PackageStatus::Ok) << layout.reason;
  EXPECT_EQ(layout.dataOffset, 377076u);
  EXPECT_EQ(layout.dataOffset + layout.dataSize, 1169772u);
  EXPECT_EQ(layout.fileSize, 1175264u);
  EXPECT_EQ(static_cast<std::uint64_t>(std::ftell(exe.get())), 377076u);
  ASSERT_EQ(directory.size(), 1u);
  EXPECT_EQ(directory.begin()->second.size(), 5u);
}

TEST(PackageFormat, DataAreaFollowsOrdinalGroupOrder) {
  // Records written out of order: the data area holds the groups in ordinal
  // order, "D" before the root group "E8FF...", uppercase Z before
  // lowercase a, and a before ab.
  const SealedRead read = ReadSealed(Packed({
      {u"b", {FileFromBytes(u"1", "B")}},
      {u"ab", {FileFromBytes(u"1", "AB")}},
      {u"a", {FileFromBytes(u"\u00e9t\u00e9 \u6f22.txt", "A")}},
      {kRootGroupName, {FileFromBytes(u"1", "E"), FileFromBytes(u"empty", "")}},
      {u"Z", {FileFromBytes(u"1", "Z")}},
      {u"D", {FileFromBytes(u"1", "D")}},
  }));
  ASSERT_EQ(read.copied.outcome, CopyOutcome::Done) << read.layout.reason;
  EXPECT_EQ(read.layout.dataOffset + read.layout.dataSize, read.layout.fileSize);
  EXPECT_EQ(read.directory.at(u"a")[0].name, u"\u00e9t\u00e9 \u6f22.txt");
  EXPECT_EQ(read.target.contents, (std::vector<std::string>{"D", "E", "", "Z", "A", "AB", "B"}));
  // So do the files' offsets in it, as the reader sets them.
  std::vector<std::uint64_t> offsets;
  for (const auto& group : read.directory)
    for (const PackageEntry& entry : group.second) offsets.push_back(entry.decodedOffset);
  EXPECT_EQ(offsets, (std::vector<std::uint64_t>{0, 1, 2, 2, 3, 4, 6}));
}

TEST(PackageFormat, DuplicatesNulsAndEmptyGroups) {
  // Two groups named g: the first wins, and the data area holds only its files.
  // An empty group whose name has a NUL inside: "e\0xx" is the name "e", and
  // all four code units are consumed.
  FilePtr exe = FromBytes(Records(3)
                              .Group(u"g", 1).File(u"f", 5)
                              .Group(u"g", 1).File(u"f", 6)
                              .Group(std::u16string(u"e\0xx", 4), 0)
                              .Data("first")
                              .Bound());

  PackageDirectory directory;
  const PackageLayout layout = Read(exe.get(), directory);
  ASSERT_EQ(layout.status, PackageStatus::Ok) << layout.reason;
  ASSERT_EQ(directory.size(), 2u);
  ASSERT_EQ(directory[u"g"].size(), 1u);
  EXPECT_EQ(directory[u"g"][0].size, 5u);
  EXPECT_TRUE(directory.at(u"e").empty());

  // Zero groups: an empty directory and an empty data area.
  const SealedRead empty = ReadSealed(Packed({}));
  EXPECT_EQ(empty.layout.status, PackageStatus::Ok);
  EXPECT_TRUE(empty.directory.empty());
  EXPECT_EQ(empty.layout.dataSize, 0u);
}

TEST(PackageFormat, DamagedPackagesAreRefusedWithoutSpinning) {
  struct Case {
    const char* what;
    std::string bytes;
    PackageStatus expected;
    std::uint64_t sparseSize = 0;  // the file made this long, the records not there
    const char* reason = "";
  };
  const Case cases[] = {
      {"too short for an offset", std::string(20, 'M'), PackageStatus::NoPackage},
      {"offset 0 (a bare runner)", std::string(200, '\0'), PackageStatus::NoPackage},
      {"offset past the end", StandInImage(100, 5000), PackageStatus::Damaged},
      {"offset inside the header", StandInImage(100, 8), PackageStatus::Damaged},
      // A group count far beyond what 100 bytes hold.
      {"huge group count", Records(4000000000u).Data(std::string(32, '\0')).Bound(), PackageStatus::Damaged},
      {"huge entry count", Records(1).Group(u"g", 4000000000u).Bound(), PackageStatus::Damaged},
      {"name past the end", Records(1).Group(u"", 0, 0x7FFFFFFF).Bound(), PackageStatus::Damaged},
      {"file of 2 GiB", Records(1).Group(u"g", 1).File(u"f", 0x80000000u).Bound(), PackageStatus::Damaged, 0, "2 GiB"},
      {"data area cut short", Records(1).Group(u"g", 1).File(u"f", 10).Data("short").Bound(), PackageStatus::Damaged},
      {"directory cut short", Records(2).Group(u"g", 0).Bound(), PackageStatus::Damaged},
      // One unit more than any path holds, all of it there.
      {"name of 32,768 units", Records(1).Group(std::u16string(32768, u'a'), 0).Bound(), PackageStatus::Damaged},
      {"escaping name", Records(1).Group(u"g", 1).File(u"..\\evil.exe", 0).Bound(), PackageStatus::Damaged},
      // 120 million entries claimed in a file of 1 GiB. The count fits the file
      // at 8 bytes an entry, but the entries would not fit a 32-bit runner's
      // memory: room for them must not be taken on the count's word, and running
      // out of memory must refuse the package.
      {"entries beyond memory", Records(1).Group(u"g", 120000000u).Bound(), PackageStatus::Damaged, (1ull << 30) + 1},
      // A group name of 0x80000041 units whose 4 GiB + 130 bytes are all there.
      // Taken as a 32-bit size the length is 130 bytes: such a reader would see
      // a group "g" where every other sees none.
      {"name beyond 4 GiB", Records(1).Group(u"g", 0, 0x80000041u).Bound(), PackageStatus::Damaged,
       64 + 12 + 2 * 0x80000041ull, "32,767"},
  };

  for (const Case& c : cases) {
    FilePtr file = FromBytes(c.bytes);
    if (c.sparseSize) {
      ASSERT_TRUE(SeekTo(file.get(), c.sparseSize - 1));
      ASSERT_EQ(std::fputc(0, file.get()), 0);
      ASSERT_EQ(std::fflush(file.get()), 0);
    }
    PackageDirectory directory;
    directory[u"stale"];
    const PackageLayout layout = Read(file.get(), directory);
    EXPECT_EQ(layout.status, c.expected) << c.what;
    EXPECT_EQ(layout.fileSize, c.sparseSize ? c.sparseSize : c.bytes.size()) << c.what;
    EXPECT_FALSE(layout.reason.empty()) << c.what;
    EXPECT_NE(layout.reason.find(c.reason), std::string::npos) << c.what << ": " << layout.reason;
    EXPECT_TRUE(directory.empty()) << c.what << ": nothing of a refused package is kept";
  }
}

// One name for each rule; what the run does with a refused one is the
// end-to-end test's.
TEST(PackageNames, OnlyNamesThatStayInsideAreAccepted) {
  for (const char16_t* good : {u"setup.exe", u"a\\b", u"sub/x.txt", u"..a", u"a..b", u"\u0416\u6f22 x.txt", kRootGroupName.c_str(),
                               u"CONFIG.SYS", u"com10", u"COM\u2074", u"CONIN", u"\xD83D\xDE00.txt"}) {
    EXPECT_EQ(CheckStoredName(good), nullptr) << MemoryTarget::Narrow(good);
  }
  for (const char16_t* bad : {u"", u"..", u"a/../x", u"\\x", u"/x", u"C:x", u"a\\\\b", u"a\\", u".", u"x.", u"x ", u"nul",
                              u"CON.txt", u"lpt1", u"a\\aux\\b", u"x?", u"x*", u"a|b", u"tab\there", u"CONIN$",
                              u"a\\conout$.log", u"com\u00B9", u"COM\u00B2.txt", u"Lpt\u00B3",
                              // Surrogates without their partner, alone, at an end, or in reverse order.
                              u"\xD800", u"a" u"\xDBFF" u".txt", u"\xDC00" u"b", u"\xDE00\xD83D"}) {
    EXPECT_NE(CheckStoredName(bad), nullptr) << MemoryTarget::Narrow(bad);
  }
}

TEST(PackageNames, TheFileToStartStaysInsideTheFolder) {
  for (const char16_t* good : {u"setup.exe", u"sub\\setup.exe", u"sub/x.exe", u"..a.exe", u"a..b\\x.exe", u".\\x.exe", u""}) {
    EXPECT_EQ(CheckPayloadName(good), nullptr) << MemoryTarget::Narrow(good);
  }
  for (const char16_t* bad : {u"sub/../p.exe", u"..", u"\\x.exe", u"/x.exe", u"C:notepad.exe", u"sub\\...\\x.exe",
                              u"sub\\.. \\x.exe", u"\"..\"\\\"..\"\\x.exe"}) {
    EXPECT_NE(CheckPayloadName(bad), nullptr) << MemoryTarget::Narrow(bad);
  }
}

TEST(PackageCopy, LargeFilesGoInPiecesAndAStopIsHonoured) {
  const std::string big(kCopyPieceSize * 2 + 123, 'b');
  const std::vector<WriterGroup> groups = {{kRootGroupName, {FileFromBytes(u"big", big), FileFromBytes(u"after", "tail")}}};
  FilePtr exe = FromBytes(Packed(groups));
  PackageDirectory directory;
  PackageLayout layout = Read(exe.get(), directory);
  ASSERT_EQ(layout.status, PackageStatus::Ok);
  MemoryTarget target;
  ASSERT_EQ(CopyPackageData(exe.get(), layout, directory, target).outcome, CopyOutcome::Done);
  EXPECT_EQ(target.writes, 4);  // three pieces, then the small file (both whole: the extraction test)

  // A stop asked for while the first file is written abandons it and
  // leaves the second unwritten.
  layout = Read(exe.get(), directory);
  ASSERT_EQ(layout.status, PackageStatus::Ok);
  MemoryTarget stopping;
  stopping.stopAfterFiles = 1;
  EXPECT_EQ(CopyPackageData(exe.get(), layout, directory, stopping).outcome, CopyOutcome::Stopped);
  EXPECT_EQ(stopping.contents.size(), 1u);
  EXPECT_TRUE(stopping.abandoned);

  // The same stop while a second thread decodes ahead: it ends, nothing more is written.
  FilePtr packed = FromBytes(Packed(groups, PackageSealing::Sealed, 64, 1));
  layout = Read(packed.get(), directory);
  ASSERT_EQ(layout.mark, PackageMark::CompressedRewritten);
  MemoryTarget stoppingAhead;
  stoppingAhead.stopAfterFiles = 1;
  EXPECT_EQ(CopyPackageData(packed.get(), layout, directory, stoppingAhead, nullptr, CopyThreads::DecodeAhead).outcome,
            CopyOutcome::Stopped);
  EXPECT_EQ(stoppingAhead.contents, std::vector<std::string>{""});
  EXPECT_TRUE(stoppingAhead.abandoned);
}

TEST(PackageSeal, TheDigestTakenWhileExtractingMatchesTheWriters) {
  // Small files and large ones, hashed piece by piece as they are copied.
  std::string big(kCopyPieceSize * 3 + 5, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 13 + i / 1000);
  const std::vector<WriterGroup> groups = {
      {kRootGroupName, {FileFromBytes(u"a", "first"), FileFromBytes(u"big", big), FileFromBytes(u"z", "last")}},
      {u"g", {FileFromBytes(u"empty", ""), FileFromBytes(u"b", big.substr(0, 300000))}}};
  const std::string sealed = Packed(groups, PackageSealing::Sealed, 100);
  const std::size_t dataEnd = sealed.size() - kSealRecordSize;

  SealedRead read = ReadSealed(sealed);
  ASSERT_EQ(read.layout.status, PackageStatus::Ok) << read.layout.reason;
  EXPECT_TRUE(read.matches);
  EXPECT_EQ(read.seal.recordOffset, dataEnd);
  EXPECT_EQ(read.seal.covered, dataEnd - 100);

  // One flipped bit anywhere in the directory or the data is noticed.
  for (std::size_t at : {std::size_t{100}, std::size_t{100 + 14}, std::size_t{dataEnd / 2}, dataEnd - 1}) {
    const SealedRead again = ReadSealed(Flipped(sealed, {at}, 0x20));
    EXPECT_FALSE(again.layout.status == PackageStatus::Ok && again.matches) << "byte " << at;
  }

  // The digest is XXH3-128 whichever instructions hash it, fed in any
  // pieces: the reference value is the xxHash library's for these bytes.
  std::vector<unsigned char> pattern(3 * 1048576 + 123);
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
  SealDigest known;
  for (std::size_t at = 0, piece = 1; at < pattern.size(); at += piece, piece = piece * 7 + 1)
    known.Observe(pattern.data() + at, std::min(piece, pattern.size() - at));
  EXPECT_EQ(DigestHex(known.Result()), "67ba45d6f7453b6384353bbfc4b57ccc");

  // Without a seal: nothing, or a signer's zero padding, follows the data.
  for (const std::string& tail : {std::string(), std::string(8, '\0')}) {
    const SealedRead unsealed = ReadSealed(Packed(groups, PackageSealing::Unsealed, 100) + tail);
    EXPECT_EQ(unsealed.layout.status, PackageStatus::Ok);
    EXPECT_FALSE(unsealed.seal.present);
  }
}

TEST(PackageSeal, MalformedSealsAndDataInTheCertificateTableAreDamage) {
  FilePtr exe = MakePeImage();
  ASSERT_TRUE(AppendPackage(exe.get(),
                            {{kRootGroupName, {FileFromBytes(u"f", std::string(1000, 'f')), FileFromBytes(u"g", "gg")}},
                             {u"s", {FileFromBytes(u"h", std::string(10, 'h'))}}},
                            PackageSealing::Sealed));
  const std::string sealed = Bytes(exe.get());
  const std::size_t record = sealed.size() - kSealRecordSize;
  auto damaged = [&](const std::string& bytes, const char* why) {
    const SealedRead read = ReadSealed(bytes);
    return read.layout.status == PackageStatus::Damaged && read.layout.reason.find(why) != std::string::npos;
  };
  auto changed = [&](std::size_t at, std::uint32_t value) { return WithU32(sealed, at, value); };
  EXPECT_TRUE(damaged(changed(record + 8, 2), "version 2"));
  EXPECT_TRUE(damaged(changed(record + 12, 7), "algorithm 7"));
  EXPECT_TRUE(damaged(changed(record + 16, static_cast<std::uint32_t>(record - 512 - 1)), "covers"));
  EXPECT_TRUE(damaged(changed(record + 20, 1), "covers"));  // the high word
  EXPECT_TRUE(damaged(sealed.substr(0, sealed.size() - 1), "cut short"));
  EXPECT_TRUE(damaged(sealed.substr(0, record + 3), "cut short"));

  // What the runner would start: a sound directory and, where a seal is
  // found, a digest that matches.
  auto runs = [](const std::string& bytes) {
    const SealedRead read = ReadSealed(bytes);
    return read.layout.status == PackageStatus::Ok && (!read.seal.present || read.matches);
  };
  // The package at 512: the group count, the root group's record (8 + 72
  // bytes) with f's size at 600 and g's at 610, group s with h's size at
  // 630. A changed size or count moves the place the seal is looked for; a
  // marked package without its seal there is damaged.
  ASSERT_EQ(sealed.substr(28, 4), "TbSe");
  ASSERT_TRUE(U32At(sealed, 512) == 2 && U32At(sealed, 600) == 1000 && U32At(sealed, 630) == 10);
  const std::size_t data = record - 5;  // a byte of h
  const std::pair<const char*, std::string> switchedOff[] = {
      {"the last entry's size", Flipped(sealed, {630}, 8)},
      {"the first entry's size", Flipped(sealed, {600})},
      {"the group count 2 -> 1", changed(512, 1)},
      {"the seal's magic and a data byte", Flipped(sealed, {record, data})},
      {"the seal cut off and a data byte", Flipped(sealed, {data}).substr(0, record)},
      {"the mark of a later layout", changed(28, 0x735A6254)},  // "TbZs", not read by this runner
  };
  for (const auto& [what, bytes] : switchedOff) EXPECT_FALSE(runs(bytes)) << what;
  // No flipped bit turns one mark into another: each becomes an unknown one.
  for (const char* mark : {kSealedStoredMark, kCompressedMark, kCompressedRewrittenMark}) {
    std::string marked = sealed;
    marked.replace(28, 4, mark, 4);
    for (std::size_t bit = 0; bit < 32; ++bit)
      EXPECT_TRUE(damaged(Flipped(marked, {28 + bit / 8}, static_cast<char>(1 << bit % 8)), "mark"))
          << std::string(mark, 4) << " bit " << bit;
  }
  // Without the mark, as other writers of the format write: a seal found is
  // checked, and a package without one runs.
  const std::string unmarked = changed(28, 0);
  EXPECT_TRUE(runs(unmarked));
  EXPECT_FALSE(runs(Flipped(unmarked, {data})));
  EXPECT_TRUE(runs(unmarked.substr(0, record)));

  // A signed program: only the bytes before the certificate table count.
  const std::string unsealed = unmarked.substr(0, record);
  auto signedAt = [&](const std::string& program, std::uint64_t table) {
    const std::string bytes = WithU32(program + std::string(64, '\x02'), kSecurityEntry, static_cast<std::uint32_t>(table));
    return WithU32(bytes, kSecurityEntry + 4, static_cast<std::uint32_t>(bytes.size() - table));
  };
  EXPECT_TRUE(ReadSealed(signedAt(sealed, sealed.size())).matches);
  EXPECT_EQ(ReadSealed(signedAt(unsealed, record)).layout.status, PackageStatus::Ok);
  EXPECT_TRUE(damaged(signedAt(sealed, record + 1), "the seal reaches into the certificate table"));
  for (std::uint64_t table : {record - 1, std::size_t{300}}) {  // in the data area; before the package
    EXPECT_TRUE(damaged(signedAt(unsealed, table), "overlap")) << table;
    EXPECT_TRUE(damaged(signedAt(sealed, table), "overlap")) << table;
  }
}

TEST(PackageCompressed, EveryFileComesOutWholeFromOneSealedStream) {
  const std::string noise = package_bytes::Noise(200000);
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "line " + std::to_string(i % 977) + "\n";
  const std::string program = package_bytes::Pe32Program(0x10000000, 0x100000, 300000);
  const std::vector<WriterGroup> groups = {
      {u"g", {FileFromBytes(u"b", text.substr(0, 5000))}},
      {kRootGroupName, {FileFromBytes(u"text.txt", text), FileFromBytes(u"empty", ""), FileFromBytes(u"noise", noise),
                        FileFromBytes(u"\u0416\u6f22.txt", "named"), FileFromBytes(u"code.dll", program)}},
      {u"empty folder", {}}};
  auto packed = [&](const std::vector<WriterGroup>& with, bool* compressed, bool rewrite = true) {
    return Packed(with, PackageSealing::Sealed, 100, 3, compressed, rewrite);
  };
  bool compressed = false;
  const std::string unrewritten = packed(groups, &compressed, false);
  ASSERT_TRUE(compressed);
  EXPECT_EQ(unrewritten.substr(28, 4), "TbZs");
  const std::string bytes = packed(groups, &compressed);
  ASSERT_TRUE(compressed);
  EXPECT_EQ(bytes.substr(28, 4), "TbAr");
  EXPECT_TRUE(bytes == packed(groups, nullptr)) << "the same input gives the same bytes";
  SealedRead read = ReadSealed(bytes);
  ASSERT_EQ(read.layout.status, PackageStatus::Ok) << read.layout.reason;
  EXPECT_EQ(read.layout.mark, PackageMark::CompressedRewritten);
  EXPECT_TRUE(read.matches) << read.copied.reason;
  for (const SealedRead& other : {ReadSealed(bytes, CopyThreads::DecodeAhead), ReadSealed(unrewritten),
                                  ReadSealed(unrewritten, CopyThreads::DecodeAhead)})
    EXPECT_TRUE(other.matches && other.target.contents == read.target.contents) << other.copied.reason;
  EXPECT_LT(read.layout.storedSize, read.layout.dataSize / 2);
  EXPECT_TRUE(read.target.contents ==
              (std::vector<std::string>{text, "", noise, "named", program, text.substr(0, 5000)}));
  // The window is no larger than the data (1.2 MB here) needs.
  // A frame header either is a single segment (the window is the content)
  // or names its window: exponent and eighths.
  const unsigned char descriptor = static_cast<unsigned char>(bytes[read.layout.dataOffset + 4]);
  const unsigned char window = static_cast<unsigned char>(bytes[read.layout.dataOffset + 5]);
  const std::uint64_t base = std::uint64_t{1} << (10 + (window >> 3));
  EXPECT_LE((descriptor & 0x20) ? read.layout.dataSize : base + base / 8 * (window & 7), 2u << 20);

  // A flipped byte of the stream: refused, and the seal shows it.
  const std::size_t middle = read.layout.dataOffset + read.layout.storedSize / 2;
  const SealedRead again = ReadSealed(Flipped(bytes, {middle}, 4));
  EXPECT_FALSE(again.matches || again.digestMatches);

  // Data that does not compress is stored, sealed, as the stored writer writes it.
  const std::vector<WriterGroup> random = {{kRootGroupName, {FileFromBytes(u"noise", noise)}}};
  const std::string stored = packed(random, &compressed);
  EXPECT_FALSE(compressed);
  EXPECT_TRUE(stored == Packed(random, PackageSealing::Sealed, 100));
}

TEST(PackageCompressed, TheAddressRewriteIsExactAndOnlyForPe32Programs) {
  using package_bytes::Pe32Program;
  auto rewritten = [](std::string bytes) {
    RewriteAddresses(reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
    return bytes;
  };
  const std::string program = Pe32Program(0x10000000, 0x40000, 20000);
  const std::size_t header = 0x80 + 84;  // up to SizeOfImage
  EXPECT_TRUE(rewritten(program).compare(0, header, program, 0, header) == 0 && rewritten(program) != program);
  // A lone address of the image and one of the range it moves to, swapped.
  const std::string lone = Pe32Program(0x10000000, 0x10000, 0);
  EXPECT_EQ(rewritten(lone + std::string("\0\0\0\x10\0\0\0", 7)), lone + std::string("\0\0\0\xA0\0\0\0", 7));
  EXPECT_EQ(rewritten(lone + std::string("\xFF\xFF\0\xA0", 4)), lone + std::string("\xFF\xFF\0\x10", 4));

  std::string farHeader = Pe32Program(0x10000000, 0x40000, 8000, 0x10B, 0x1000);  // SizeOfImage beyond 4 KiB
  std::string unsigned_ = program;
  unsigned_[0x80] = 'Q';
  const std::pair<const char*, std::string> untouched[] = {
      {"PE32+", Pe32Program(0x10000000, 0x40000, 20000, 0x20B)},
      {"ranges that overlap", Pe32Program(0x9FFF0000, 0x20000, 20000)},
      {"a range beyond 4 GiB", Pe32Program(0xF0000000, 0x20000000, 20000)},
      {"the header beyond the first 4 KiB", farHeader},
      {"the header beyond the file", program.substr(0, header - 1)},
      {"a tiny file", program.substr(0, 0x3F)},
      {"no PE signature", unsigned_},
  };
  for (const auto& [what, bytes] : untouched) EXPECT_TRUE(rewritten(bytes) == bytes) << what;

  // Undone as it is decoded, in pieces of any size, file after file: each
  // comes back exactly.
  std::vector<std::uint32_t> sizes;
  std::string data, stored;
  for (const std::string& file : {program, std::string(), untouched[0].second, lone + "\x10\0\0\0\0\xA0", program,
                                  program.substr(0, 0x100), std::string("xy")}) {
    sizes.push_back(static_cast<std::uint32_t>(file.size()));
    data += file;
    stored += rewritten(file);
  }
  ASSERT_NE(stored, data);
  for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4}, std::size_t{7}, std::size_t{4099}, stored.size()}) {
    AddressRestorer restorer(sizes);
    std::string out, waiting;
    for (std::size_t at = 0; at < stored.size(); at += piece) {
      waiting += stored.substr(at, piece);
      const std::size_t done = restorer.Restore(reinterpret_cast<unsigned char*>(&waiting[0]), waiting.size());
      EXPECT_LE(waiting.size() - done, 3u);
      out += waiting.substr(0, done);
      waiting.erase(0, done);
    }
    EXPECT_TRUE(waiting.empty() && out == data) << piece;
  }
}

TEST(PackageCompressed, StreamsThatDoNotDecodeIntoTheFilesAreDamage) {
  // One file "f" of `size` bytes and a hand-made stream, sealed so that the
  // seal matches: whatever is wrong lies in the stream.
  auto bound = [](std::uint32_t size, const std::string& stream) {
    return CompressedBound(StandInImage(100), Records(1).Group(kRootGroupName, 1).File(u"f", size).Bytes(), stream);
  };
  const SealedRead sound = ReadSealed(bound(2, RawFrame("xy", 26)));  // a window of 64 MiB is the most
  ASSERT_TRUE(sound.matches) << sound.layout.reason << sound.copied.reason;
  EXPECT_EQ(sound.target.contents, std::vector<std::string>{"xy"});
  // Frames may split the stream anywhere, within a file too: decoded in turn.
  EXPECT_EQ(ReadSealed(bound(4, RawFrame("xy") + RawFrame("zw"))).target.contents, std::vector<std::string>{"xyzw"});

  const std::string frame = RawFrame("xy");
  const struct {
    const char* what;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"a window of 128 MiB", bound(2, RawFrame("xy", 27)), "window larger than 64 MiB"},
      {"fewer bytes than the file's size", bound(3, frame), "ends before"},
      {"more bytes than the files' sizes", bound(1, frame), "more bytes"},
      {"a frame cut short by the data area's end", bound(2, frame.substr(0, frame.size() - 1)), "ends before"},
      {"bytes after the last frame", bound(2, frame + "more"), "malformed"},
      {"a frame that holds more than it declares", bound(2, RawFrame("xy", 20, 1)), "malformed"},
      {"a frame that declares more than it holds", bound(2, RawFrame("xy", 20, 3)), "malformed"},
      {"no zstd stream at all", bound(2, "xy"), "malformed"},
      // Refused in its first piece: the seal still sees the other pieces.
      {"two pieces of no stream", bound(2, std::string(kCopyPieceSize + 5, 'z')), "malformed"},
  };
  for (const auto& c : cases) {
    for (CopyThreads threads : {CopyThreads::One, CopyThreads::DecodeAhead}) {
      const SealedRead read = ReadSealed(c.bytes, threads);
      ASSERT_EQ(read.layout.status, PackageStatus::Ok) << c.what << int(threads);
      EXPECT_EQ(read.copied.outcome, CopyOutcome::Malformed) << c.what << int(threads);
      EXPECT_NE(std::string(read.copied.reason).find(c.reason), std::string::npos) << c.what << int(threads) << ": " << read.copied.reason;
      EXPECT_TRUE(read.digestMatches) << c.what << int(threads) << ": the whole data area is hashed even so";
    }
  }

  // Rewritten addresses: a program comes back; cut within its last word, or
  // followed by a byte more, it is damage as well.
  const std::string program = package_bytes::Pe32Program(0x10000000, 0x40000, 1000);
  std::string stored = program;
  RewriteAddresses(reinterpret_cast<unsigned char*>(&stored[0]), stored.size());
  auto rewritten = [&](const std::string& stream) {
    const std::string records =
        Records(1).Group(kRootGroupName, 1).File(u"f", static_cast<std::uint32_t>(program.size())).Bytes();
    return CompressedBound(StandInImage(100), records, stream, kCompressedRewrittenMark);
  };
  for (CopyThreads threads : {CopyThreads::One, CopyThreads::DecodeAhead}) {
    EXPECT_EQ(ReadSealed(rewritten(RawFrame(stored)), threads).target.contents, std::vector<std::string>{program});
    for (const auto& [stream, reason] : {std::pair<std::string, const char*>{RawFrame(stored.substr(0, stored.size() - 2)), "ends before"},
                                         {RawFrame(stored + "x"), "more bytes"}}) {
      const SealedRead read = ReadSealed(rewritten(stream), threads);
      EXPECT_EQ(read.copied.outcome, CopyOutcome::Malformed) << reason;
      EXPECT_NE(std::string(read.copied.reason).find(reason), std::string::npos) << read.copied.reason;
    }
  }

  // A mark that says sealed without a seal, or a data area past the end, is
  // damage (an unknown mark: every flipped bit, above).
  const std::string longer =
      WithU32(bound(2, frame), 100 + Records(1).Group(kRootGroupName, 1).File(u"f", 2).Bytes().size(), 1u << 20);
  for (const auto& [bytes, reason] : {std::pair<std::string, const char*>{bound(2, frame).substr(0, bound(2, frame).size() - kSealRecordSize), "no seal follows"},
                                      {longer, "cut short"}}) {
    const SealedRead read = ReadSealed(bytes);
    EXPECT_EQ(read.layout.status, PackageStatus::Damaged) << reason;
    EXPECT_NE(read.layout.reason.find(reason), std::string::npos) << read.layout.reason;
  }
}
