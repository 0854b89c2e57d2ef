// Writes the fuzzer's seed corpus: small program files whose packages are
// made by the project's own writer, in the shapes real packages take.
//   make_seeds FOLDER
#include <cstdio>
#include <string>
#include <vector>

#include "common/stdio_file.h"
#include "package/package_seal.h"
#include "package/package_writer.h"
#include "../tests/format/package_bytes.h"

using namespace nsTobrin;

namespace {

using package_bytes::Records;

// A stand-in executable ("MZ", zeros) with a package written after it.
bool WriteSeed(const std::string& folder, const char* name, const std::vector<WriterGroup>& groups,
               std::size_t imageSize = 64, PackageSealing sealing = PackageSealing::Unsealed,
               const std::string& trailer = "", bool compressed = false, bool rewritten = false) {
  const std::string path = folder + "/" + name;
  StdioFile file(std::fopen(path.c_str(), "w+b"));
  if (!file) return false;
  const std::string image = package_bytes::StandInImage(imageSize);
  bool ok = std::fwrite(image.data(), 1, image.size(), file.Get()) == image.size() &&
            (compressed ? AppendCompressedPackage(file.Get(), groups, 19, nullptr, rewritten) : AppendPackage(file.Get(), groups, sealing)) &&
            std::fseek(file.Get(), 0, SEEK_END) == 0 &&
            std::fwrite(trailer.data(), 1, trailer.size(), file.Get()) == trailer.size();
  ok = CloseChecked(file) && ok;
  if (!ok) std::fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
  return ok;
}

bool WriteBytes(const std::string& folder, const char* name, const std::string& bytes);

// Hand-made records bound to a 64-byte stand-in image.
bool WriteRaw(const std::string& folder, const char* name, const Records& records) {
  return WriteBytes(folder, name, records.Bound());
}

bool WriteBytes(const std::string& folder, const char* name, const std::string& bytes) {
  const std::string path = folder + "/" + name;
  StdioFile file(std::fopen(path.c_str(), "wb"));
  bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file.Get()) == bytes.size();
  ok = CloseChecked(file) && ok;
  if (!ok) std::fprintf(stderr, "make_seeds: cannot write %s\n", path.c_str());
  return ok;
}

std::string Pattern(std::size_t size, char seed) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 31 + i / 7);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds FOLDER\n");
    return 2;
  }
  const std::string out = argv[1];
  const std::string assist = "[ParamOption]\r\nExecuteFileName=setup.exe\r\nExecuteParameter=/q\r\n";
  const std::string message = "[Setting]\r\nMessageBoxUse=1\r\nMessageBoxType=2\r\n";
  const std::string catalogue =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Messages><Message lang=\"ENU\">Install now?</Message></Messages>\r\n";
  bool ok = true;

  ok &= WriteSeed(out, "empty-package", {});
  ok &= WriteSeed(out, "installer",
                  {{kRootGroupName,
                    {FileFromBytes(u"AssistFile.ini", assist), FileFromBytes(u"MessageSetting.ini", message),
                     FileFromBytes(u"MessageInfo.xml", catalogue), FileFromBytes(u"setup.exe", Pattern(1500, 'M')),
                     FileFromBytes(u"version.txt", "1.0.0.1")}}});
  ok &= WriteSeed(out, "groups-out-of-order",
                  {{u"b", {FileFromBytes(u"1", "B")}},
                   {u"Drivers\\x64", {FileFromBytes(u"d.sys", Pattern(300, 'd'))}},
                   {u"Drivers", {FileFromBytes(u"d.inf", "[Version]\r\n"), FileFromBytes(u"empty", "")}},
                   {u"a", {}},
                   {kRootGroupName, {FileFromBytes(u"AssistFile.ini", assist)}}});
  ok &= WriteSeed(out, "nested-names",
                  {{kRootGroupName,
                    {FileFromBytes(u"sub\\x.txt", "x"), FileFromBytes(u"sub/y.txt", "y"),
                     FileFromBytes(u"\u00e9t\u00e9 \u6f22\u5b57.txt", "unicode"), FileFromBytes(u"..a", "dots")}},
                   {u"Z", {FileFromBytes(u"same", "old"), FileFromBytes(u"same", "new")}}});
  ok &= WriteSeed(out, "pieces", {{kRootGroupName, {FileFromBytes(u"big.bin", Pattern(20000, 'p'))}}});
  // Sealed, sealed with a signature's padding after it, and a seal cut short.
  const std::vector<WriterGroup> sealedGroups = {{kRootGroupName, {FileFromBytes(u"AssistFile.ini", assist)}},
                                                 {u"g", {FileFromBytes(u"f", Pattern(700, 's'))}}};
  ok &= WriteSeed(out, "sealed", sealedGroups, 64, PackageSealing::Sealed);
  ok &= WriteSeed(out, "sealed-padded", sealedGroups, 64, PackageSealing::Sealed, std::string(8, '\0'));
  ok &= WriteSeed(out, "seal-magic-only", sealedGroups, 64, PackageSealing::Unsealed, std::string(kSealMagic, 8));
  ok &= WriteSeed(out, "late-offset", {{u"g", {FileFromBytes(u"f", "late")}}}, 4096);
  // Compressed by the writer, and hand-made frames: a window of 64 MiB (the
  // most), one of 128 MiB, and a frame that declares another size than it holds.
  ok &= WriteSeed(out, "compressed", sealedGroups, 64, PackageSealing::Sealed, "", true);
  // Through the address rewrite: a PE32 program, and the same cut within its header.
  const std::string program = package_bytes::Pe32Program(0x10000000, 0x40000, 2000);
  ok &= WriteSeed(out, "compressed-rewritten",
                  {{kRootGroupName, {FileFromBytes(u"a.dll", program), FileFromBytes(u"b.dll", program.substr(0, 150))}}},
                  64, PackageSealing::Sealed, "", true, true);
  const std::string records = Records(1).Group(kRootGroupName, 1).File(u"f", 4).Bytes();
  using package_bytes::RawFrame;
  ok &= WriteBytes(out, "frame-window-64m", package_bytes::CompressedBound(package_bytes::StandInImage(64), records, RawFrame("data", 26)));
  ok &= WriteBytes(out, "frame-window-128m", package_bytes::CompressedBound(package_bytes::StandInImage(64), records, RawFrame("data", 27)));
  ok &= WriteBytes(out, "frame-declares-3", package_bytes::CompressedBound(package_bytes::StandInImage(64), records, RawFrame("data", 20, 3)));
  // Marked as rewritten: a program's frame that ends within its last word.
  const std::string programRecords =
      Records(1).Group(kRootGroupName, 1).File(u"a.dll", static_cast<std::uint32_t>(program.size())).Bytes();
  ok &= WriteBytes(out, "frame-rewritten-cut",
                   package_bytes::CompressedBound(package_bytes::StandInImage(64), programRecords,
                                                  RawFrame(program.substr(0, program.size() - 2)), kCompressedRewrittenMark));

  // Hand-made: an entry count that a file of this size could hold at 8 bytes
  // an entry, but after one record come bytes of data, not records.
  ok &= WriteRaw(out, "count-beyond-records",
                 Records(1).Group(u"g", 4000).File(u"f", 0).Data(Pattern(40000, 'c')));
  // Hand-made: a duplicate group (the first wins) and a name cut at a NUL.
  const std::u16string cut(u"g\0x", 3);
  ok &= WriteRaw(out, "duplicate-and-nul", Records(2).Group(cut, 1).File(u"f", 2).Group(cut, 1).File(u"f", 2).Data("ab"));
  return ok ? 0 : 1;
}
