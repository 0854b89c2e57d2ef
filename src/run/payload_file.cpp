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
#include "package/package_format.h"
#include "package/package_seal.h"

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

}  // namespace

DWORD HoldPayloadFile(const std::wstring& programPath, const PayloadCommand& command, const std::wstring& group,
                      const std::wstring& executeFileName, const WrittenFiles& written, KernelHandle& held) {
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
  const bool compressed = IsCompressed(layout.mark);
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
  constexpr DWORD kPiece = 1u << 16;
  std::vector<unsigned char> expected(kPiece), found(kPiece);
  if (compressed) {
    // Not decoded again: the extraction kept the digest of the bytes it
    // wrote into this entry's file, keyed by a secret of this run that never
    // left its memory, so that no file made meanwhile can be made to match.
    const auto file = std::find_if(written.files.begin(), written.files.end(), [&](const WrittenFiles::File& f) {
      return f.at == entry->decodedOffset && f.size == entry->size;
    });
    SealDigest digest(written.secret);
    std::uint32_t left = entry->size;
    while (left > 0 && file != written.files.end()) {
      const DWORD piece = left < kPiece ? left : kPiece;
      if (!ReadWhole(held.Get(), found.data(), piece)) break;
      digest.Observe(found.data(), piece);
      left -= piece;
    }
    if (file != written.files.end() && left == 0 && digest.Result() == file->digest) return 0;
    held.Reset();
    return ERROR_INVALID_DATA;
  }
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
