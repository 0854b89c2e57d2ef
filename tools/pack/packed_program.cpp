#include "packed_program.h"

#include "commands.h"

#include <algorithm>
#include <cerrno>

#include "package/package_copy.h"
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

  for (const auto& group : program.directory) {
    ViewGroup viewGroup;
    viewGroup.name = group.first;
    for (const PackageEntry& entry : group.second) {
      ViewFile file;
      file.name = entry.name;
      file.size = entry.size;
      file.decodedOffset = entry.decodedOffset;
      viewGroup.files.push_back(std::move(file));
    }
    program.view.groups.push_back(std::move(viewGroup));
  }
  const std::string subject = program.subject;
  program.view.subjectOf = [subject](const std::u16string& relative) {
    return subject + " (" + Utf16ToUtf8(relative) + ")";
  };
  std::FILE* in = program.file.Get();
  // Stored: a file's bytes lie at its offset in the data area. Compressed:
  // the stream is decoded from its start up to them.
  const PackageLayout layout = program.layout;
  const PackageDirectory* directory = &program.directory;
  auto readAt = [in, layout, directory](const ViewFile& file, std::string& bytes) {
    if (IsCompressed(layout.mark)) return DecodeRange(in, layout, *directory, file.decodedOffset, bytes);
    return SeekTo(in, layout.dataOffset + file.decodedOffset) && (bytes.empty() || std::fread(&bytes[0], 1, bytes.size(), in) == bytes.size());
  };
  program.view.read = [readAt](const ViewFile& file, std::uint64_t limit, std::string& bytes, std::string& error) {
    if (file.size > limit) {
      error = "is larger than " + std::to_string(limit) + " bytes";
      return false;
    }
    bytes.assign(static_cast<std::size_t>(file.size), '\0');
    if (!readAt(file, bytes)) {
      error = "cannot be read from the package";
      return false;
    }
    return true;
  };
  program.view.readHead = [readAt](const ViewFile& file, std::uint64_t count, std::string& bytes, std::string& error) {
    bytes.assign(static_cast<std::size_t>(std::min(count, file.size)), '\0');
    if (!readAt(file, bytes)) {
      error = "cannot be read from the package";
      return false;
    }
    return true;
  };
  return true;
}

namespace {

// Keeps the decoded bytes from `from` on until `bytes` is full, then stops
// the walk.
class RangeTarget : public ExtractionTarget {
 public:
  RangeTarget(std::uint64_t from, std::string& bytes) : m_nFrom(from), m_bytes(bytes) {}
  int MakeGroupFolder(const std::u16string&) override { return 0; }
  int BeginFile(const std::u16string&, const std::u16string&) override { return 0; }
  int WriteData(const unsigned char* data, std::size_t size) override {
    const std::uint64_t end = m_nAt + size;
    if (end > m_nFrom && m_nFilled < m_bytes.size()) {
      const std::uint64_t skip = m_nFrom > m_nAt ? m_nFrom - m_nAt : 0;
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(size - skip, m_bytes.size() - m_nFilled));
      std::copy(data + skip, data + skip + take, &m_bytes[m_nFilled]);
      m_nFilled += take;
    }
    m_nAt = end;
    return 0;
  }
  int EndFile() override { return 0; }
  void AbandonFile() override {}
  bool StopRequested() override { return Full(); }
  bool Full() const { return m_nFilled == m_bytes.size(); }

 private:
  std::uint64_t m_nFrom, m_nAt = 0;
  std::string& m_bytes;
  std::size_t m_nFilled = 0;
};

}  // namespace

bool DecodeRange(std::FILE* file, const PackageLayout& layout, const PackageDirectory& directory, std::uint64_t from,
                 std::string& bytes) {
  if (bytes.empty()) return true;
  RangeTarget target(from, bytes);
  if (!SeekTo(file, layout.dataOffset)) return false;
  CopyPackageData(file, layout, directory, target);
  return target.Full();
}

std::uint64_t PackageEnd(const PackedProgram& program) {
  return program.layout.dataOffset + program.layout.storedSize + (program.seal.present ? kSealRecordSize : 0);
}

bool DigestPackage(const PackedProgram& program, SealDigestBytes& digest) {
  SealDigest running;
  if (!ObserveRange(program.file.Get(), program.layout.packageOffset,
                    program.layout.dataOffset + program.layout.storedSize, running))
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
