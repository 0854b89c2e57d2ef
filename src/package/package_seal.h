// The seal: a record written right after the data area that holds a digest
// of the package (its directory and its data area), so that the runner can
// tell a damaged package from a sound one while it extracts it. Portable
// C++17, shared by the runner, the packer, the tests and the fuzzer.
//
// The record, 40 bytes, integers little-endian:
//   0  8   magic "TobrSeal"
//   8  4   version, 1
//  12  4   digest algorithm, 1 = XXH3-128
//  16  8   bytes covered: from the package offset to the end of the data area
//  24 16   the digest of those bytes (XXH3-128, canonical big-endian form)
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "package/package_format.h"

namespace nsTobrin {

constexpr char kSealMagic[8] = {'T', 'o', 'b', 'r', 'S', 'e', 'a', 'l'};
constexpr std::uint32_t kSealVersion = 1;
constexpr std::uint32_t kSealXxh3_128 = 1;
constexpr std::size_t kSealRecordSize = 40;

using SealDigestBytes = std::array<unsigned char, 16>;

struct Seal {
  bool present = false;
  std::uint64_t recordOffset = 0;  // the end of the data area
  std::uint64_t covered = 0;
  SealDigestBytes digest{};
};

// The Authenticode certificate table that the PE security directory names.
struct CertificateTable {
  bool present = false;
  std::uint64_t offset = 0, size = 0;
};

// Reads the security directory of the executable's PE headers; not present
// when the file is no PE program or names no table. Keeps the position.
CertificateTable ReadCertificateTable(std::FILE* file);

// For a package whose directory was read (`layout` Ok): reads the seal at the
// end of the data area and applies the rule of signed programs, under which
// only the bytes before the certificate table are trusted. Anything but the
// seal's magic there means an unsealed package, or a damaged one when the
// package's mark says it is sealed. A seal of unknown version or
// algorithm, of a covered length that is not the package's, or cut short,
// and a package, directory, data area or seal that reaches into the
// certificate table turn `layout` Damaged with the reason. Keeps the position.
Seal ReadSeal(std::FILE* file, PackageLayout& layout);

// Hands the bytes from `from` to `to` to `observer`, read in pieces; false
// when they cannot be read. Keeps the position.
bool ObserveRange(std::FILE* file, std::uint64_t from, std::uint64_t to, ByteObserver& observer);

// The record for a package of `covered` bytes with that digest.
std::string SealRecordBytes(std::uint64_t covered, const SealDigestBytes& digest);

// Lower-case hexadecimal, for people and scripts.
std::string DigestHex(const SealDigestBytes& digest);

// A secret for a keyed digest: random bytes (XXH3 takes at least 136).
using DigestSecret = std::array<unsigned char, 192>;

// The running digest of a package, fed with its bytes in order: the
// directory as the reader reads it (as a ByteObserver), the data area as the
// copy walk reads it.
class SealDigest : public ByteObserver {
 public:
  SealDigest();
  // The same hash keyed by `secret` (which must outlive the digest) instead
  // of the seal's fixed one: its digest cannot be foreseen without it.
  explicit SealDigest(const DigestSecret& secret);
  // Starts over, as if nothing had been observed.
  void Restart();
  ~SealDigest() override;
  SealDigest(const SealDigest&) = delete;
  SealDigest& operator=(const SealDigest&) = delete;

  void Observe(const unsigned char* data, std::size_t size) override;
  // The digest of everything observed.
  SealDigestBytes Result() const;

 private:
  struct State;
  std::unique_ptr<State> m_pState;
};

// What a run's extraction of a compressed package wrote: each file's digest,
// keyed by a secret of the run's that never leaves its memory, taken from
// the bytes it handed to the file. The payload's file is later checked
// against it rather than decoded again.
struct WrittenFiles {
  struct File {
    std::uint64_t at = 0;  // where its bytes begin among the files' bytes (the decoded data area)
    std::uint64_t size = 0;
    SealDigestBytes digest{};
  };
  DigestSecret secret{};
  std::vector<File> files;  // in the data area's order
};

}  // namespace nsTobrin
