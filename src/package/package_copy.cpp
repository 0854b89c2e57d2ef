#include "package/package_copy.h"

#include <memory>

#include "package/package_decoder.h"
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

namespace nsTobrin {

namespace {

// Reads the stored bytes of a compressed data area in pieces, hands each to
// the digest as it is read, and decodes them.
class CompressedReader {
 public:
  CompressedReader(std::FILE* package, std::uint64_t storedSize, SealDigest* digest)
      : m_pPackage(package), m_nStoredLeft(storedSize), m_pDigest(digest), m_input(new unsigned char[kCopyPieceSize]) {}

  bool Valid() const { return m_decoder.Valid(); }

  // Decodes at most `size` bytes into `out`; `made` tells how many. False
  // with `result` set when the stream or the file fails.
  bool Decode(unsigned char* out, std::size_t size, std::size_t& made, CopyResult& result) {
    made = 0;
    if (m_nInUsed == m_nInSize && m_nStoredLeft > 0 && !Refill(result)) return false;
    std::size_t used = 0;
    m_status = m_decoder.Decode(m_input.get() + m_nInUsed, m_nInSize - m_nInUsed, used, out, size, made);
    m_nInUsed += used;
    if (m_status != DecodeStatus::Ok && m_status != DecodeStatus::FrameDone) return Malformed(result, DecodeStatusText(m_status));
    return true;
  }

  // Nothing left to read, and no frame begun and not finished.
  bool AtCleanEnd() const { return InputDone() && m_status == DecodeStatus::FrameDone; }
  bool InputDone() const { return m_nInUsed == m_nInSize && m_nStoredLeft == 0; }
  bool HasDecoded() const { return m_status != DecodeStatus::Ok || m_nInSize > 0; }

  bool Malformed(CopyResult& result, const char* reason) {
    result.outcome = CopyOutcome::Malformed;
    result.reason = reason;
    // The seal covers every stored byte: the rest is hashed unread.
    while (m_nStoredLeft > 0 && Refill(result)) {
    }
    result.outcome = CopyOutcome::Malformed;
    return false;
  }

 private:
  bool Refill(CopyResult& result) {
    const std::size_t piece = m_nStoredLeft < kCopyPieceSize ? static_cast<std::size_t>(m_nStoredLeft) : kCopyPieceSize;
    if (std::fread(m_input.get(), 1, piece, m_pPackage) != piece) {
      result.outcome = CopyOutcome::ReadFailed;
      m_nStoredLeft = 0;
      return false;
    }
    if (m_pDigest) m_pDigest->Observe(m_input.get(), piece);
    m_nStoredLeft -= piece;
    m_nInSize = piece;
    m_nInUsed = 0;
    return true;
  }

  std::FILE* m_pPackage;
  std::uint64_t m_nStoredLeft;
  SealDigest* m_pDigest;
  std::unique_ptr<unsigned char[]> m_input;
  std::size_t m_nInSize = 0, m_nInUsed = 0;
  StreamDecoder m_decoder;
  // An empty stream holds no frame to finish.
  DecodeStatus m_status = DecodeStatus::FrameDone;
};

CopyResult CopyCompressedFiles(std::FILE* package, const PackageLayout& layout, const PackageDirectory& directory,
                               ExtractionTarget& target, SealDigest* digest) {
  CopyResult result;
  CompressedReader reader(package, layout.storedSize, digest);
  if (!reader.Valid()) {
    reader.Malformed(result, DecodeStatusText(DecodeStatus::NoMemory));
    return result;
  }
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyPieceSize]);
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
      for (std::uint64_t left = entry.size; left > 0;) {
        if (target.StopRequested()) {
          target.AbandonFile();
          return fail(CopyOutcome::Stopped, 0);
        }
        const std::size_t room = left < kCopyPieceSize ? static_cast<std::size_t>(left) : kCopyPieceSize;
        std::size_t made = 0;
        const bool inputWasDone = reader.InputDone();
        if (!reader.Decode(buffer.get(), room, made, result)) {
          target.AbandonFile();
          return result;
        }
        if (made == 0 && inputWasDone) {
          // Nothing more to read, and nothing more comes out.
          target.AbandonFile();
          reader.Malformed(result, "the compressed stream ends before the files' bytes do");
          return result;
        }
        if (made > 0) {
          if (int error = target.WriteData(buffer.get(), made)) {
            target.AbandonFile();
            return fail(CopyOutcome::WriteFailed, error);
          }
        }
        left -= made;
      }
      if (int error = target.EndFile()) return fail(CopyOutcome::WriteFailed, error);
    }
  }
  // Every file has its bytes: the stream must end here, its last frame
  // complete, at the end of the data area.
  while (!reader.AtCleanEnd()) {
    const bool inputWasDone = reader.InputDone();
    std::size_t made = 0;
    if (!reader.Decode(buffer.get(), 1, made, result)) return result;
    if (made > 0) {
      reader.Malformed(result, "the compressed stream holds more bytes than the directory's files");
      return result;
    }
    if (inputWasDone && !reader.AtCleanEnd()) {
      reader.Malformed(result, "the compressed stream ends within a frame");
      return result;
    }
  }
  return result;
}

}  // namespace

CopyResult CopyPackageData(std::FILE* package, const PackageLayout& layout, const PackageDirectory& directory,
                           ExtractionTarget& target, SealDigest* digest) {
  if (layout.mark == PackageMark::Compressed) return CopyCompressedFiles(package, layout, directory, target, digest);
  return CopyPackageFiles(package, directory, target, digest);
}

}  // namespace nsTobrin
