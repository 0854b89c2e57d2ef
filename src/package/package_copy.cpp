#include "package/package_copy.h"

#include <memory>

#include "package/package_seal.h"

namespace nsTobrin {

CopyResult CopyPackageFiles(std::FILE* package, const PackageDirectory& directory, ExtractionTarget& target,
                            SealDigest* digest) {
  CopyResult result;
  std::unique_ptr<unsigned char[]> buffer;
  auto fail = [&](CopyOutcome outcome, int error) {
    result.outcome = outcome;
    result.error = error;
    return result;
  };

  for (const auto& group : directory) {
    if (target.StopRequested()) return fail(CopyOutcome::Stopped, 0);
    if (group.first != kRootGroupName) {
      if (int error = target.MakeGroupFolder(group.first)) return fail(CopyOutcome::WriteFailed, error);
    }
    for (const PackageEntry& entry : group.second) {
      if (target.StopRequested()) return fail(CopyOutcome::Stopped, 0);
      target.FileStarting();
      if (int error = target.BeginFile(group.first, entry.name)) return fail(CopyOutcome::WriteFailed, error);
      std::uint64_t left = entry.size;
      while (left > 0) {
        if (target.StopRequested()) {
          target.AbandonFile();
          return fail(CopyOutcome::Stopped, 0);
        }
        if (!buffer) buffer.reset(new unsigned char[kCopyPieceSize]);
        const std::size_t piece = left < kCopyPieceSize ? static_cast<std::size_t>(left) : kCopyPieceSize;
        if (std::fread(buffer.get(), 1, piece, package) != piece) {
          target.AbandonFile();
          return fail(CopyOutcome::ReadFailed, 0);
        }
        if (digest) digest->Observe(buffer.get(), piece);
        if (int error = target.WriteData(buffer.get(), piece)) {
          target.AbandonFile();
          return fail(CopyOutcome::WriteFailed, error);
        }
        left -= piece;
      }
      if (int error = target.EndFile()) return fail(CopyOutcome::WriteFailed, error);
    }
  }
  return result;
}

}  // namespace nsTobrin
