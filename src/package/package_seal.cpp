#include "package/package_seal.h"

#include "contract/little_endian.h"
#include "contract/pe_headers.h"
#include "package/package_copy.h"
#include "package/package_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace nsTobrin {

// seal_hash_vector.cpp, built once per instruction set.
#if defined(TOBRIN_SEAL_AVX2)
void SealHashUpdateAVX2(XXH3_state_t* state, const void* data, size_t size);
#endif
#if defined(TOBRIN_SEAL_SSE2)
void SealHashUpdateSSE2(XXH3_state_t* state, const void* data, size_t size);
#endif

namespace {

using HashUpdateFunction = void (*)(XXH3_state_t*, const void*, std::size_t);

void HashUpdatePlain(XXH3_state_t* state, const void* data, std::size_t size) { XXH3_128bits_update(state, data, size); }

HashUpdateFunction FastestHashUpdate() {
#if defined(TOBRIN_SEAL_AVX2)
  if (__builtin_cpu_supports("avx2")) return SealHashUpdateAVX2;
#endif
#if defined(TOBRIN_SEAL_SSE2)
  if (__builtin_cpu_supports("sse2")) return SealHashUpdateSSE2;
#endif
  return HashUpdatePlain;
}

// XXH3 with the fastest instructions the processor has.
void HashUpdate(XXH3_state_t* state, const void* data, std::size_t size) {
  static const HashUpdateFunction update = FastestHashUpdate();
  update(state, data, size);
}


void Damage(PackageLayout& layout, std::string reason) {
  layout.status = PackageStatus::Damaged;
  layout.reason = std::move(reason);
}

}  // namespace

CertificateTable ReadCertificateTable(std::FILE* file) {
  CertificateTable table;
  const std::uint64_t position = Tell(file);
  StdioFileBytes bytes(file);
  const PeHeaders pe = ReadPeHeaders(bytes);
  table.present = pe.HasCertificateTable();
  table.offset = pe.certificateOffset;
  table.size = pe.certificateSize;
  SeekTo(file, position);
  return table;
}

Seal ReadSeal(std::FILE* file, PackageLayout& layout) {
  Seal seal;
  if (layout.status != PackageStatus::Ok) return seal;
  const std::uint64_t position = Tell(file);
  const std::uint64_t dataEnd = layout.dataOffset + layout.storedSize;
  const CertificateTable table = ReadCertificateTable(file);
  // Only what the signature covers counts: the bytes before the table.
  const std::uint64_t trustedEnd = table.present ? std::min(table.offset, layout.fileSize) : layout.fileSize;
  if (table.present && (layout.packageOffset >= table.offset || dataEnd > table.offset)) {
    const std::uint64_t tableEnd = table.offset + table.size;
    if (tableEnd <= layout.packageOffset)
      Damage(layout, "the certificate table (at byte " + std::to_string(table.offset) +
                         ") lies before the package: the program was signed before it was packed, so its "
                         "signature no longer holds; sign after packing");
    else
      Damage(layout, "the certificate table (bytes " + std::to_string(table.offset) + " to " +
                         std::to_string(tableEnd) + ") and the package (bytes " +
                         std::to_string(layout.packageOffset) + " to " + std::to_string(dataEnd) +
                         ") overlap: the package lies inside the signature, or the signature inside the package, "
                         "and no signature covers it");
    SeekTo(file, position);
    return seal;
  }

  unsigned char record[kSealRecordSize];
  const std::size_t got = StdioFileBytes(file).ReadAt(
      dataEnd, record, static_cast<std::size_t>(std::min<std::uint64_t>(kSealRecordSize, layout.fileSize - dataEnd)));
  SeekTo(file, position);
  // A record cut within its magic still starts with it. Where there is no
  // magic, a package marked as sealed is damaged: a changed size or count
  // moves the place the seal is looked for, and must not switch it off.
  if (got == 0 || std::memcmp(record, kSealMagic, std::min(got, sizeof kSealMagic)) != 0) {
    if (layout.mark != PackageMark::Unmarked)
      Damage(layout, got == 0 ? "the package is marked as sealed, but no seal follows the data area"
                              : "the package is marked as sealed, but what follows the data area is no seal");
    return seal;
  }

  seal.present = true;
  seal.recordOffset = dataEnd;
  if (got < kSealRecordSize) {
    Damage(layout, "the seal is cut short");
  } else if (dataEnd + kSealRecordSize > trustedEnd) {
    Damage(layout, "the seal reaches into the certificate table, which the signature does not cover");
  } else if (LoadU32(record + 8) != kSealVersion) {
    Damage(layout, "the seal's version " + std::to_string(LoadU32(record + 8)) + " is unknown");
  } else if (LoadU32(record + 12) != kSealXxh3_128) {
    Damage(layout, "the seal's digest algorithm " + std::to_string(LoadU32(record + 12)) + " is unknown");
  } else if ((seal.covered = LoadU64(record + 16)) != dataEnd - layout.packageOffset) {
    Damage(layout, "the seal covers " + std::to_string(seal.covered) + " bytes, but the package holds " +
                       std::to_string(dataEnd - layout.packageOffset));
  }
  std::memcpy(seal.digest.data(), record + 24, seal.digest.size());
  return seal;
}

bool ObserveRange(std::FILE* file, std::uint64_t from, std::uint64_t to, ByteObserver& observer) {
  const std::uint64_t position = Tell(file);
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kCopyPieceSize]);
  bool ok = SeekTo(file, from);
  for (std::uint64_t left = to - from; ok && left > 0;) {
    const std::size_t piece = left < kCopyPieceSize ? static_cast<std::size_t>(left) : kCopyPieceSize;
    ok = std::fread(buffer.get(), 1, piece, file) == piece;
    if (ok) observer.Observe(buffer.get(), piece);
    left -= piece;
  }
  SeekTo(file, position);
  return ok;
}

std::string SealRecordBytes(std::uint64_t covered, const SealDigestBytes& digest) {
  std::string record(kSealMagic, sizeof kSealMagic);
  PutU32(record, kSealVersion);
  PutU32(record, kSealXxh3_128);
  PutU32(record, static_cast<std::uint32_t>(covered));
  PutU32(record, static_cast<std::uint32_t>(covered >> 32));
  record.append(reinterpret_cast<const char*>(digest.data()), digest.size());
  return record;
}

std::string DigestHex(const SealDigestBytes& digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : digest) {
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 15]);
  }
  return text;
}

static_assert(std::tuple_size<DigestSecret>::value >= XXH3_SECRET_SIZE_MIN, "XXH3 takes no shorter secret");

struct SealDigest::State {
  XXH3_state_t* hash = XXH3_createState();
  const DigestSecret* secret;
  explicit State(const DigestSecret* key) : secret(key) {
    if (!hash) throw std::bad_alloc();
    Reset();
  }
  ~State() { XXH3_freeState(hash); }
  void Reset() {
    if (secret) XXH3_128bits_reset_withSecret(hash, secret->data(), secret->size());
    else XXH3_128bits_reset(hash);
  }
};

SealDigest::SealDigest() : m_pState(new State(nullptr)) {}
SealDigest::SealDigest(const DigestSecret& secret) : m_pState(new State(&secret)) {}
SealDigest::~SealDigest() = default;

void SealDigest::Restart() { m_pState->Reset(); }

void SealDigest::Observe(const unsigned char* data, std::size_t size) { HashUpdate(m_pState->hash, data, size); }

SealDigestBytes SealDigest::Result() const {
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(m_pState->hash));
  SealDigestBytes bytes;
  std::memcpy(bytes.data(), canonical.digest, bytes.size());
  return bytes;
}

}  // namespace nsTobrin
