#include "packed_program.h"

#include "commands.h"

#include <algorithm>
#include <cerrno>

#include "text.h"

namespace nsTobrin {

bool OpenPackedProgram(const fs::path& path, PackedProgram& program, std::string& error) {
  program.path = path;
  program.subject = PathToUtf8(path);
  std::error_code code;
  if (fs::is_directory(path, code)) {
    error = "is a folder, not a packed program";
    return false;
  }
  program.file = OpenRegularFile(path, Links::kFollow, error);
  if (!program.file) return false;
  program.pe = ReadPeImage(program.file.Get());
  program.layout = ReadPackageDirectory(program.file.Get(), program.directory);
  program.seal = ReadSeal(program.file.Get(), program.layout);
  if (program.layout.status != PackageStatus::Ok) return true;

  std::uint64_t offset = program.layout.dataOffset;
  for (const auto& group : program.directory) {
    ViewGroup viewGroup;
    viewGroup.name = group.first;
    for (const PackageEntry& entry : group.second) {
      ViewFile file;
      file.name = entry.name;
      file.size = entry.size;
      file.offset = offset;
      offset += entry.size;
      viewGroup.files.push_back(std::move(file));
    }
    program.view.groups.push_back(std::move(viewGroup));
  }
  const std::string subject = program.subject;
  program.view.subjectOf = [subject](const std::u16string& relative) {
    return subject + " (" + Utf16ToUtf8(relative) + ")";
  };
  std::FILE* in = program.file.Get();
  program.view.read = [in](const ViewFile& file, std::uint64_t limit, std::string& bytes, std::string& error) {
    if (file.size > limit) {
      error = "is larger than " + std::to_string(limit) + " bytes";
      return false;
    }
    bytes.assign(static_cast<std::size_t>(file.size), '\0');
    if (!SeekTo(in, file.offset) || (file.size && std::fread(&bytes[0], 1, bytes.size(), in) != bytes.size())) {
      error = "cannot be read from the package";
      return false;
    }
    return true;
  };
  program.view.readHead = [in](const ViewFile& file, std::uint64_t count, std::string& bytes, std::string& error) {
    bytes.assign(static_cast<std::size_t>(std::min(count, file.size)), '\0');
    if (!SeekTo(in, file.offset) || (!bytes.empty() && std::fread(&bytes[0], 1, bytes.size(), in) != bytes.size())) {
      error = "cannot be read from the package";
      return false;
    }
    return true;
  };
  return true;
}

std::uint64_t PackageEnd(const PackedProgram& program) {
  return program.layout.dataOffset + program.layout.dataSize + (program.seal.present ? kSealRecordSize : 0);
}

bool DigestPackage(const PackedProgram& program, SealDigestBytes& digest) {
  SealDigest running;
  if (!ObserveRange(program.file.Get(), program.layout.packageOffset,
                    program.layout.dataOffset + program.layout.dataSize, running))
    return false;
  digest = running.Result();
  return true;
}

int OpenReadablePackage(const std::string& packed, PackedProgram& program) {
  std::string error;
  if (!OpenPackedProgram(PathFromUtf8(packed), program, error)) return Refuse(packed, error);
  if (program.layout.status == PackageStatus::NoPackage)
    return Refuse(packed, "carries no package (" + program.layout.reason + ")");
  if (program.layout.status == PackageStatus::Damaged)
    return Refuse(packed, "the package is damaged: " + program.layout.reason);
  return kExitOk;
}

}  // namespace nsTobrin
