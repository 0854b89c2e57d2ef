#include "package/package_copy.h"

#include <memory>

#include "package/package_decoder.h"
#include "package/package_seal.h"

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

// The stored layout: each file's bytes as they lie, read and hashed.
class StoredSource {
 public:
  StoredSource(std::FILE* package, SealDigest* digest) : m_pPackage(package), m_pDigest(digest) {}
  // False with `result` set when nothing can be read.
  bool Ready(CopyResult&) { return true; }
  // Puts up to `room` bytes of the current file into `out` (`made` of
  // them, at least one); false with `result` set when it cannot.
  bool Fill(unsigned char* out, std::size_t room, std::size_t& made, CopyResult& result) {
    if (std::fread(out, 1, room, m_pPackage) != room) {
      result.outcome = CopyOutcome::ReadFailed;
      return false;
    }
    if (m_pDigest) m_pDigest->Observe(out, room);
    made = room;
    return true;
  }
  bool Finish(CopyResult&) { return true; }

 private:
  std::FILE* m_pPackage;
  SealDigest* m_pDigest;
};

// The compressed layout: the files' bytes decoded from the one stream.
class DecodedSource {
 public:
  DecodedSource(std::FILE* package, const PackageLayout& layout, SealDigest* digest)
      : m_reader(package, layout.storedSize, digest) {}
  bool Ready(CopyResult& result) {
    return m_reader.Valid() || m_reader.Malformed(result, DecodeStatusText(DecodeStatus::NoMemory));
  }
  bool Fill(unsigned char* out, std::size_t room, std::size_t& made, CopyResult& result) {
    do {
      const bool inputWasDone = m_reader.InputDone();
      if (!m_reader.Decode(out, room, made, result)) return false;
      // Nothing more to read, and nothing more comes out.
      if (made == 0 && inputWasDone) return m_reader.Malformed(result, "the compressed stream ends before the files' bytes do");
    } while (made == 0);
    return true;
  }
  // Every file has its bytes: the stream must end here, its last frame
  // complete, at the end of the data area.
  bool Finish(CopyResult& result) {
    unsigned char spare;
    while (!m_reader.AtCleanEnd()) {
      const bool inputWasDone = m_reader.InputDone();
      std::size_t made = 0;
      if (!m_reader.Decode(&spare, 1, made, result)) return false;
      if (made > 0) return m_reader.Malformed(result, "the compressed stream holds more bytes than the directory's files");
      if (inputWasDone && !m_reader.AtCleanEnd()) return m_reader.Malformed(result, "the compressed stream ends within a frame");
    }
    return true;
  }

 private:
  CompressedReader m_reader;
};

// Hands every file of the directory, in the data area's order, its bytes
// from `source`, exactly its size.
template <typename Source>
CopyResult CopyFiles(Source& source, const PackageDirectory& directory, ExtractionTarget& target) {
  CopyResult result;
  if (!source.Ready(result)) return result;
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
      for (std::uint64_t left = entry.size; left > 0;) {
        if (target.StopRequested()) {
          target.AbandonFile();
          return fail(CopyOutcome::Stopped, 0);
        }
        if (!buffer) buffer.reset(new unsigned char[kCopyPieceSize]);
        const std::size_t room = left < kCopyPieceSize ? static_cast<std::size_t>(left) : kCopyPieceSize;
        std::size_t made = 0;
        if (!source.Fill(buffer.get(), room, made, result)) {
          target.AbandonFile();
          return result;
        }
        if (int error = target.WriteData(buffer.get(), made)) {
          target.AbandonFile();
          return fail(CopyOutcome::WriteFailed, error);
        }
        left -= made;
      }
      if (int error = target.EndFile()) return fail(CopyOutcome::WriteFailed, error);
    }
  }
  source.Finish(result);
  return result;
}

}  // namespace

CopyResult CopyPackageData(std::FILE* package, const PackageLayout& layout, const PackageDirectory& directory,
                           ExtractionTarget& target, SealDigest* digest) {
  if (layout.mark == PackageMark::Compressed) {
    DecodedSource source(package, layout, digest);
    return CopyFiles(source, directory, target);
  }
  StoredSource source(package, digest);
  return CopyFiles(source, directory, target);
}

}  // namespace nsTobrin
