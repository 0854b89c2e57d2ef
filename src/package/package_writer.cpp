#include "package/package_writer.h"

#include <map>

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
  file.writeContent = [content = std::move(bytes)](std::FILE* out) {
    return content.empty() || std::fwrite(content.data(), 1, content.size(), out) == content.size();
  };
  return file;
}

bool WritePackage(std::FILE* out, const std::vector<WriterGroup>& groups) {
  std::string directory;
  PutU32(directory, static_cast<std::uint32_t>(groups.size()));
  std::map<std::u16string, const WriterGroup*> dataOrder;
  for (const WriterGroup& group : groups) {
    PutU32(directory, static_cast<std::uint32_t>(group.name.size()));
    PutU32(directory, static_cast<std::uint32_t>(group.files.size()));
    PutName(directory, group.name);
    for (const WriterFile& file : group.files) {
      PutU32(directory, static_cast<std::uint32_t>(file.name.size()));
      PutU32(directory, file.size);
      PutName(directory, file.name);
    }
    dataOrder.emplace(group.name, &group);
  }
  if (std::fwrite(directory.data(), 1, directory.size(), out) != directory.size()) return false;
  for (const auto& entry : dataOrder)
    for (const WriterFile& file : entry.second->files)
      if (file.size > 0 && !file.writeContent(out)) return false;
  return std::fflush(out) == 0;
}

namespace {

// Reads back the package written from `offset` to `end` and writes its seal
// at `end`.
bool WriteSeal(std::FILE* file, std::uint64_t offset, std::uint64_t end) {
  SealDigest digest;
  if (!ObserveRange(file, offset, end, digest)) return false;
  const std::string record = SealRecordBytes(end - offset, digest.Result());
  return SeekTo(file, end) && std::fwrite(record.data(), 1, record.size(), file) == record.size();
}

}  // namespace

bool AppendPackage(std::FILE* executable, const std::vector<WriterGroup>& groups, PackageSealing sealing) {
  const std::uint64_t offset = FileSizeOf(executable);
  if (offset > kMaxPackageOffset || !SeekTo(executable, offset) || !WritePackage(executable, groups))
    return false;
  if (sealing == PackageSealing::Sealed && !WriteSeal(executable, offset, FileSizeOf(executable))) return false;
  // The mark and the offset, side by side in the MS-DOS header.
  std::string field = PackageMarkBytes(sealing == PackageSealing::Sealed ? PackageMark::SealedStored
                                                                         : PackageMark::Unmarked);
  PutU32(field, static_cast<std::uint32_t>(offset));
  return SeekTo(executable, kPackageMarkPosition) &&
         std::fwrite(field.data(), 1, field.size(), executable) == field.size() && std::fflush(executable) == 0;
}

}  // namespace nsTobrin
