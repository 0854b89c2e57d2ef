#include "package/package_copy.h"

#include <memory>

#include "package/ahead_thread.h"
#include "package/package_decoder.h"
#include "package/package_seal.h"

namespace nsTobrin {

namespace {

// Reads the stored bytes of a compressed data area in pieces, hands each to
// the digest as it is read, and decodes them.
class CompressedReader {
 public:
  CompressedReader(std::FILE* package, std::uint64_t storedSize, SealDigest* digest,
                   std::unique_ptr<AddressRestorer> restorer)
      : m_pPackage(package),
        m_nStoredLeft(storedSize),
        m_pDigest(digest),
        m_input(new unsigned char[kCopyPieceSize]),
        m_decoder(std::move(restorer)) {}

  bool Valid() const { return m_decoder.Valid(); }

  // Decodes at most `size` bytes into `out`; `made` tells how many. False
  // with `result` set when the stream or the file fails.
  bool Decode(unsigned char* out, std::size_t size, std::size_t& made, CopyResult& result) {
    made = 0;
    if (m_nInUsed == m_nInSize && m_nStoredLeft > 0 && !Refill(result)) return false;
    std::size_t used = 0;
    m_status = m_decoder.Decode(m_input.get() + m_nInUsed, m_nInSize - m_nInUsed, used, out, size, made);
    m_nInUsed += used;
    if (m_status != DecodeStatus::Ok && m_status != DecodeStatus::FrameDone)
      return Fail(result, DecodeStatusText(m_status),
                  m_status == DecodeStatus::NoMemory ? CopyOutcome::NoMemory : CopyOutcome::Malformed);
    return true;
  }

  // Nothing left to read, and no frame begun and not finished.
  bool AtCleanEnd() const { return InputDone() && m_status == DecodeStatus::FrameDone; }
  bool InputDone() const { return m_nInUsed == m_nInSize && m_nStoredLeft == 0; }
  bool HasDecoded() const { return m_status != DecodeStatus::Ok || m_nInSize > 0; }

  bool Fail(CopyResult& result, const char* reason, CopyOutcome outcome = CopyOutcome::Malformed) {
    result.reason = reason;
    // The seal covers every stored byte: the rest is hashed unread.
    while (m_nStoredLeft > 0 && Refill(result)) {
    }
    result.outcome = outcome;
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
  // Points `data` at up to `room` bytes of the current file (`made` of
  // them, at least one), valid until the next call; false with `result` set
  // when it cannot.
  bool Next(std::size_t room, const unsigned char*& data, std::size_t& made, CopyResult& result) {
    if (!m_buffer) m_buffer.reset(new unsigned char[kCopyPieceSize]);
    if (std::fread(m_buffer.get(), 1, room, m_pPackage) != room) {
      result.outcome = CopyOutcome::ReadFailed;
      return false;
    }
    if (m_pDigest) m_pDigest->Observe(m_buffer.get(), room);
    data = m_buffer.get();
    made = room;
    return true;
  }
  bool Finish(CopyResult&) { return true; }

 private:
  std::FILE* m_pPackage;
  SealDigest* m_pDigest;
  std::unique_ptr<unsigned char[]> m_buffer;
};

// The compressed layout: the files' bytes decoded from the one stream.
class DecodedSource {
 public:
  DecodedSource(std::FILE* package, const PackageLayout& layout, const PackageDirectory& directory, SealDigest* digest)
      : m_reader(package, layout.storedSize, digest,
                 layout.mark == PackageMark::CompressedRewritten
                     ? std::make_unique<AddressRestorer>(FileSizesInDataOrder(directory))
                     : nullptr) {}
  bool Ready(CopyResult& result) {
    return m_reader.Valid() || m_reader.Fail(result, DecodeStatusText(DecodeStatus::NoMemory), CopyOutcome::NoMemory);
  }
  bool Next(std::size_t room, const unsigned char*& data, std::size_t& made, CopyResult& result) {
    if (!m_buffer) m_buffer.reset(new unsigned char[kCopyPieceSize]);
    data = m_buffer.get();
    return Fill(m_buffer.get(), room, made, result);
  }
  // The same into `out`, which has room for `room` bytes.
  bool Fill(unsigned char* out, std::size_t room, std::size_t& made, CopyResult& result) {
    do {
      const bool inputWasDone = m_reader.InputDone();
      if (!m_reader.Decode(out, room, made, result)) return false;
      // Nothing more to read, and nothing more comes out.
      if (made == 0 && inputWasDone) return m_reader.Fail(result, "the compressed stream ends before the files' bytes do");
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
      if (made > 0) return m_reader.Fail(result, "the compressed stream holds more bytes than the directory's files");
      if (inputWasDone && !m_reader.AtCleanEnd()) return m_reader.Fail(result, "the compressed stream ends within a frame");
    }
    return true;
  }

 private:
  CompressedReader m_reader;
  std::unique_ptr<unsigned char[]> m_buffer;
};

// The compressed layout on two threads: a second thread reads, hashes and
// decodes the data area, file by file in the directory's order, into a ring
// of pieces, while the caller's thread writes the pieces out. Each piece
// holds bytes of one file only, so the two walks over the directory agree
// on every piece's file. The second thread stops at the first failure
// (after hashing the rest of the data area, as a Malformed stream does on
// one thread) and hands its result over; it is joined before the source
// goes. Without a second thread the decoding runs on the caller's.
class AheadSource {
 public:
  AheadSource(std::FILE* package, const PackageLayout& layout, const PackageDirectory& directory, SealDigest* digest)
      : m_decoded(package, layout, directory, digest), m_directory(directory) {}
  ~AheadSource() {
    {
      AheadLock lock(m_thread);
      m_bStop = true;
    }
    m_thread.WakeAll();
    m_thread.Join();
  }
  AheadSource(const AheadSource&) = delete;
  AheadSource& operator=(const AheadSource&) = delete;

  bool Ready(CopyResult& result) {
    if (!m_decoded.Ready(result)) return false;
    for (auto& slot : m_slots) slot.reset(new unsigned char[kCopyPieceSize]);
    m_thread.Start([](void* source) { static_cast<AheadSource*>(source)->Decode(); }, this);
    return true;
  }

  bool Next(std::size_t room, const unsigned char*& data, std::size_t& made, CopyResult& result) {
    if (!m_thread.Running()) return m_decoded.Next(room, data, made, result);
    AheadLock lock(m_thread);
    if (m_bTaken) {  // the piece handed out last is written: its slot is free
      ++m_nHead;
      --m_nFilled;
      m_bTaken = false;
      m_thread.WakeAll();
    }
    while (m_nFilled == 0 && !m_bEnded) m_thread.Wait();
    if (m_nFilled == 0) {
      result = m_result;
      return false;
    }
    data = m_slots[m_nHead % kSlots].get();
    made = m_sizes[m_nHead % kSlots];
    m_bTaken = true;
    return true;
  }

  bool Finish(CopyResult& result) {
    if (!m_thread.Running()) return m_decoded.Finish(result);
    m_thread.Join();
    result = m_result;
    return result.outcome == CopyOutcome::Done;
  }

 private:
  static constexpr std::size_t kSlots = 4;

  // The second thread.
  void Decode() {
    CopyResult result;
    bool failed = false;
    for (const auto& group : m_directory) {
      for (const PackageEntry& entry : group.second) {
        for (std::uint64_t left = entry.size; left > 0 && !failed;) {
          unsigned char* slot;
          std::size_t index;
          {
            AheadLock lock(m_thread);
            while (m_nFilled == kSlots && !m_bStop) m_thread.Wait();
            if (m_bStop) {
              m_bEnded = true;
              return;
            }
            index = (m_nHead + m_nFilled) % kSlots;
            slot = m_slots[index].get();
          }
          const std::size_t room = left < kCopyPieceSize ? static_cast<std::size_t>(left) : kCopyPieceSize;
          std::size_t made = 0;
          if (!m_decoded.Fill(slot, room, made, result)) {
            failed = true;
            break;
          }
          {
            AheadLock lock(m_thread);
            m_sizes[index] = made;
            ++m_nFilled;
          }
          m_thread.WakeAll();
          left -= made;
        }
      }
    }
    if (!failed) m_decoded.Finish(result);
    {
      AheadLock lock(m_thread);
      m_result = result;
      m_bEnded = true;
    }
    m_thread.WakeAll();
  }

  DecodedSource m_decoded;  // used by the second thread alone while it runs
  const PackageDirectory& m_directory;
  std::unique_ptr<unsigned char[]> m_slots[kSlots];
  std::size_t m_sizes[kSlots] = {};
  std::size_t m_nHead = 0;    // the oldest piece not yet freed
  std::size_t m_nFilled = 0;  // pieces made and not yet freed
  bool m_bTaken = false;      // the oldest piece is handed out
  bool m_bEnded = false, m_bStop = false;
  CopyResult m_result;
  // Its lock guards the counts and flags above; its wake-up says a piece was
  // made or freed, the end, or the stop. Last: started once everything
  // above exists.
  AheadThread m_thread;
};

// Hands every file of the directory, in the data area's order, its bytes
// from `source`, exactly its size.
template <typename Source>
CopyResult CopyFiles(Source& source, const PackageDirectory& directory, ExtractionTarget& target) {
  CopyResult result;
  if (!source.Ready(result)) return result;
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
        const unsigned char* data = nullptr;
        std::size_t made = 0;
        if (!source.Next(room, data, made, result)) {
          target.AbandonFile();
          return result;
        }
        if (int error = target.WriteData(data, made)) {
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
                           ExtractionTarget& target, SealDigest* digest, CopyThreads threads) {
  if (IsCompressed(layout.mark) && threads == CopyThreads::DecodeAhead) {
    AheadSource source(package, layout, directory, digest);
    return CopyFiles(source, directory, target);
  }
  if (IsCompressed(layout.mark)) {
    DecodedSource source(package, layout, directory, digest);
    return CopyFiles(source, directory, target);
  }
  StoredSource source(package, digest);
  return CopyFiles(source, directory, target);
}

}  // namespace nsTobrin
