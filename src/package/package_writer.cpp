#include "package/package_writer.h"

#include <map>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "package/package_seal.h"

namespace nsTobrin {

void PutU32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutName(std::string& out, const std::u16string& name) {
  for (char16_t unit : name) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
}

WriterFile FileFromBytes(std::u16string name, std::string bytes) {
  WriterFile file;
  file.name = std::move(name);
  file.size = static_cast<std::uint32_t>(bytes.size());
  file.writeContent = [content = std::move(bytes)](ByteSink& out) { return out.Write(content.data(), content.size()); };
  return file;
}

namespace {

// The groups in the order of the data area: ascending ordinal names, of two
// groups of one name only the first.
std::map<std::u16string, const WriterGroup*> DataOrder(const std::vector<WriterGroup>& groups) {
  std::map<std::u16string, const WriterGroup*> order;
  for (const WriterGroup& group : groups) order.emplace(group.name, &group);
  return order;
}

// Reads back the package written from `offset` to `end` and writes its seal
// at `end`.
bool WriteSeal(std::FILE* file, std::uint64_t offset, std::uint64_t end) {
  SealDigest digest;
  if (!ObserveRange(file, offset, end, digest)) return false;
  const std::string record = SealRecordBytes(end - offset, digest.Result());
  return SeekTo(file, end) && std::fwrite(record.data(), 1, record.size(), file) == record.size();
}

}  // namespace

std::string DirectoryBytes(const std::vector<WriterGroup>& groups) {
  std::string directory;
  PutU32(directory, static_cast<std::uint32_t>(groups.size()));
  for (const WriterGroup& group : groups) {
    PutU32(directory, static_cast<std::uint32_t>(group.name.size()));
    PutU32(directory, static_cast<std::uint32_t>(group.files.size()));
    PutName(directory, group.name);
    for (const WriterFile& file : group.files) {
      PutU32(directory, static_cast<std::uint32_t>(file.name.size()));
      PutU32(directory, file.size);
      PutName(directory, file.name);
    }
  }
  return directory;
}

std::vector<std::uint32_t> FileSizesInDataOrder(const std::vector<WriterGroup>& groups) {
  std::vector<std::uint32_t> sizes;
  for (const auto& entry : DataOrder(groups))
    for (const WriterFile& file : entry.second->files) sizes.push_back(file.size);
  return sizes;
}

std::uint64_t DataSizeOf(const std::vector<WriterGroup>& groups) {
  std::uint64_t size = 0;
  for (std::uint32_t fileSize : FileSizesInDataOrder(groups)) size += fileSize;
  return size;
}

bool WriteDataArea(ByteSink& out, const std::vector<WriterGroup>& groups) {
  for (const auto& entry : DataOrder(groups))
    for (const WriterFile& file : entry.second->files)
      if (file.size > 0 && !file.writeContent(out)) return false;
  return true;
}

bool WritePackage(std::FILE* out, const std::vector<WriterGroup>& groups) {
  const std::string directory = DirectoryBytes(groups);
  FileSink sink(out);
  return sink.Write(directory.data(), directory.size()) && WriteDataArea(sink, groups) && std::fflush(out) == 0;
}

bool FinishPackage(std::FILE* executable, std::uint64_t offset, PackageMark mark, bool sealed) {
  if (sealed && !WriteSeal(executable, offset, FileSizeOf(executable))) return false;
  // The mark and the offset, side by side in the MS-DOS header.
  std::string fields = PackageMarkBytes(mark);
  PutU32(fields, static_cast<std::uint32_t>(offset));
  return SeekTo(executable, kPackageMarkPosition) &&
         std::fwrite(fields.data(), 1, fields.size(), executable) == fields.size() && std::fflush(executable) == 0;
}

bool TruncateFile(std::FILE* file, std::uint64_t size) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _chsize_s(_fileno(file), static_cast<__int64>(size)) == 0;
#else
  return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

bool AppendPackage(std::FILE* executable, const std::vector<WriterGroup>& groups, PackageSealing sealing) {
  const std::uint64_t offset = FileSizeOf(executable);
  if (offset > kMaxPackageOffset || !SeekTo(executable, offset) || !WritePackage(executable, groups))
    return false;
  const bool sealed = sealing == PackageSealing::Sealed;
  return FinishPackage(executable, offset, sealed ? PackageMark::SealedStored : PackageMark::Unmarked, sealed);
}

}  // namespace nsTobrin
