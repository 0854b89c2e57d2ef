// Walks the data area of a package in directory order and hands every file's
// bytes to a target, in pieces of bounded size. The runner's target writes
// into the extraction folder; the packer's writes into a folder of its user.
#pragma once

#include <cstddef>
#include <cstdio>

#include "package/package_format.h"

namespace nsTobrin {

class ExtractionTarget {
 public:
  virtual ~ExtractionTarget() = default;
  // Each returns 0 or the platform's error code.
  virtual int MakeGroupFolder(const std::u16string& group) = 0;  // never for the root group
  virtual int BeginFile(const std::u16string& group, const std::u16string& name) = 0;
  virtual int WriteData(const unsigned char* data, std::size_t size) = 0;
  virtual int EndFile() = 0;  // closes the file; an error if it is not complete
  virtual void AbandonFile() = 0;  // closes a file after a failure
  // Asked before every file and every piece.
  virtual bool StopRequested() { return false; }
  // Called before each file is written.
  virtual void FileStarting() {}
};

// Malformed: a compressed data area whose stream cannot be decoded into
// exactly the files' bytes (cut short, longer, a window over the cap, not a
// stream at all): a damaged package. NoMemory: the window its stream asks
// for (within the cap) cannot be allocated here: the package may be sound.
enum class CopyOutcome { Done, Stopped, ReadFailed, WriteFailed, Malformed, NoMemory };

struct CopyResult {
  CopyOutcome outcome = CopyOutcome::Done;
  int error = 0;  // the target's error code for WriteFailed
  const char* reason = "";  // why the stream is Malformed, or NoMemory
};

// The size of the pieces the data is copied in.
constexpr std::size_t kCopyPieceSize = 1u << 20;

class SealDigest;

// Who copies a compressed data area: the caller's thread alone, or a second
// thread that reads, hashes and decodes ahead of the caller's, which writes.
// A stored data area is always copied on the caller's thread.
enum class CopyThreads { One, DecodeAhead };

// `package` must be positioned at the first byte of the data area, as
// ReadPackageDirectory leaves it, and `layout` be what it returned.
// `digest`, when given, is fed every stored byte read, in order; the target
// never sees it.
// A compressed data area is read once: its stored bytes go to `digest` as
// they are read, then through the decoder, and the target sees only decoded
// bytes, exactly each file's size. When the stream is Malformed (or its
// window NoMemory) the rest of the data area still goes to `digest`, so that
// the caller can tell a
// package damaged after it was sealed (the digest disagrees) from one that
// was written wrong.
CopyResult CopyPackageData(std::FILE* package, const PackageLayout& layout, const PackageDirectory& directory,
                           ExtractionTarget& target, SealDigest* digest = nullptr,
                           CopyThreads threads = CopyThreads::One);

}  // namespace nsTobrin
