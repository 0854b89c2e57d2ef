#include "package/package_copy.h"

#include <memory>

namespace nsTobrin {

namespace {

// The pieces are read into two buffers in turn when an observer is given: it
// may still be reading the previous piece while this one is written.
class CopyBuffers {
 public:
  explicit CopyBuffers(bool alternate) : m_count(alternate ? 2 : 1) {}
  unsigned char* Next() {
    m_next = (m_next + 1) % m_count;
    if (!m_buffers[m_next]) m_buffers[m_next].reset(new unsigned char[kCopyPieceSize]);
    return m_buffers[m_next].get();
  }

 private:
  std::unique_ptr<unsigned char[]> m_buffers[2];
  int m_count;
  int m_next = 1;
};

CopyResult CopyFiles(std::FILE* package, const PackageDirectory& directory, ExtractionTarget& target,
                     ByteObserver* observer, CopyBuffers& buffers) {
  CopyResult result;
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
        unsigned char* buffer = buffers.Next();
        const std::size_t piece = left < kCopyPieceSize ? static_cast<std::size_t>(left) : kCopyPieceSize;
        if (std::fread(buffer, 1, piece, package) != piece) {
          target.AbandonFile();
          return fail(CopyOutcome::ReadFailed, 0);
        }
        if (observer) observer->Observe(buffer, piece);
        if (int error = target.WriteData(buffer, piece)) {
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

}  // namespace

CopyResult CopyPackageFiles(std::FILE* package, const PackageDirectory& directory, ExtractionTarget& target,
                            ByteObserver* observer) {
  CopyBuffers buffers(observer != nullptr);
  const CopyResult result = CopyFiles(package, directory, target, observer, buffers);
  // Whichever way the copy ended, the observer is done with the buffers
  // before they go.
  if (observer) observer->Drain();
  return result;
}

}  // namespace nsTobrin
