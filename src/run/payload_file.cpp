#include "run/payload_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/last_error.h"
#include "common/windows_names.h"
#include "contract/payload_lookup.h"
#include "common/stdio_file.h"
#include "extract/long_path.h"
#include "package/package_copy.h"
#include "package/package_format.h"

namespace nsTobrin {

namespace {

// The entry whose bytes the file on disk at `path` (below the extraction
// folder, in backslashes) should hold: the packer's rule, a path below the
// folder with names compared as Windows compares them. Of several entries
// that Windows takes for that one file, the last one written is the file.
// Null when none is.
const PackageEntry* FindEntry(const PackageDirectory& directory, const std::u16string& path) {
  const PackageEntry* found = nullptr;
  for (const auto& item : directory)
    for (const PackageEntry& entry : item.second)
      if (SameNameOnWindows(PathBelowFolder(GroupFolder(item.first), entry.name), path)) found = &entry;
  return found;
}

bool ReadWhole(HANDLE file, unsigned char* data, DWORD size) {
  while (size > 0) {
    DWORD read = 0;
    if (!ReadFile(file, data, size, &read, nullptr) || read == 0) return false;
    data += read;
    size -= read;
  }
  return true;
}

// Compares the decoded bytes of a compressed data area from `from` on with
// the held file's, and stops the walk once they are compared.
class CompareTarget : public ExtractionTarget {
 public:
  CompareTarget(HANDLE held, std::uint64_t from, std::uint32_t size) : m_hHeld(held), m_nFrom(from), m_nSize(size) {}
  int MakeGroupFolder(const std::u16string&) override { return 0; }
  int BeginFile(const std::u16string&, const std::u16string&) override { return 0; }
  int WriteData(const unsigned char* data, std::size_t size) override {
    const std::uint64_t end = m_nAt + size;
    if (end > m_nFrom && m_nCompared < m_nSize) {
      const std::size_t skip = static_cast<std::size_t>(m_nFrom > m_nAt ? m_nFrom - m_nAt : 0);
      const DWORD piece = static_cast<DWORD>(std::min<std::uint64_t>(size - skip, m_nSize - m_nCompared));
      m_found.resize(piece);
      if (!ReadWhole(m_hHeld, m_found.data(), piece) || std::memcmp(m_found.data(), data + skip, piece) != 0)
        m_bDiffers = true;
      m_nCompared += piece;
    }
    m_nAt = end;
    return 0;
  }
  int EndFile() override { return 0; }
  void AbandonFile() override {}
  bool StopRequested() override { return m_bDiffers || m_nCompared == m_nSize; }
  bool Same() const { return !m_bDiffers && m_nCompared == m_nSize; }

 private:
  HANDLE m_hHeld;
  std::uint64_t m_nFrom, m_nAt = 0;
  std::uint32_t m_nSize, m_nCompared = 0;
  bool m_bDiffers = false;
  std::vector<unsigned char> m_found;
};

}  // namespace

DWORD HoldPayloadFile(const std::wstring& programPath, const PayloadCommand& command, const std::wstring& group,
                      const std::wstring& executeFileName, KernelHandle& held) {
  // Closing the gap between the writing and the start entirely would need the
  // file held from its creation on, but a handle that could write it keeps
  // CreateProcessW from mapping it, and a share mode cannot be narrowed on an
  // open handle. So the file is opened again the moment it is known, sharing
  // nothing but reading (no writer, no rename, no deletion until the process
  // exists), and its bytes are compared with the package's: a swap before
  // that moment is caught, one after it is impossible.
  held.Reset();
  // No file named (no AssistFile.ini, or no ExecuteFileName in it): nothing
  // to hold, and the start says that the file is not there.
  if (executeFileName.empty()) return 0;
  StdioFile program(_wfopen(ToLongPath(programPath).c_str(), L"rb"));
  if (!program) return ERROR_OPEN_FAILED;
  PackageDirectory directory;
  const PackageLayout layout = ReadPackageDirectory(program.Get(), directory);
  if (layout.status != PackageStatus::Ok) return ERROR_INVALID_DATA;
  const bool compressed = layout.mark == PackageMark::Compressed;
  const PackageEntry* entry = FindEntry(directory, PathBelowFolder(std::u16string(group.begin(), group.end()),
                                                                   std::u16string(executeFileName.begin(), executeFileName.end())));

  // The file is held whatever its name's form; one that no entry of the
  // package names is not the package's.
  held.Reset(CreateFileW(command.payloadLongPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!held.Valid()) {
    const DWORD error = LastErrorOr(ERROR_OPEN_FAILED);
    held.Reset();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
  }
  LARGE_INTEGER size = {};
  if (!entry || !GetFileSizeEx(held.Get(), &size) || size.QuadPart != entry->size ||
      !SeekTo(program.Get(), layout.dataOffset + (compressed ? 0 : entry->decodedOffset))) {
    held.Reset();
    return ERROR_INVALID_DATA;
  }
  if (compressed) {
    // Decoded again up to the payload's bytes: the package, not the folder,
    // says what they are.
    CompareTarget compare(held.Get(), entry->decodedOffset, entry->size);
    CopyPackageData(program.Get(), layout, directory, compare);
    if (compare.Same()) return 0;
    held.Reset();
    return ERROR_INVALID_DATA;
  }
  constexpr DWORD kPiece = 1u << 16;
  std::vector<unsigned char> expected(kPiece), found(kPiece);
  for (std::uint32_t left = entry->size; left > 0;) {
    const DWORD piece = left < kPiece ? left : kPiece;
    if (std::fread(expected.data(), 1, piece, program.Get()) != piece || !ReadWhole(held.Get(), found.data(), piece) ||
        std::memcmp(expected.data(), found.data(), piece) != 0) {
      held.Reset();
      return ERROR_INVALID_DATA;
    }
    left -= piece;
  }
  return 0;
}

}  // namespace nsTobrin
