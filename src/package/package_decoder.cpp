#include "package/package_decoder.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace nsTobrin {

static std::uint32_t WordAt(const unsigned char* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

AddressRange DecideAddressRewrite(const unsigned char* header, std::size_t have, std::uint64_t fileSize,
                                  std::size_t& need) {
  need = 0x40;  // the MS-DOS header, with e_lfanew
  if (fileSize < need || fileSize > kMaxRewrittenFileSize) need = 0;
  if (have < need || need == 0) return {};
  if (header[0] != 'M' || header[1] != 'Z') {
    need = 0;
    return {};
  }
  // The optional header begins 24 bytes after "PE\0\0"; SizeOfImage is its
  // 60th to 63rd byte.
  const std::uint64_t optional = std::uint64_t{WordAt(header + 0x3C)} + 24;
  if (optional + 60 > std::min<std::uint64_t>(fileSize, kMaxRewriteHeaderSize)) {
    need = 0;
    return {};
  }
  need = static_cast<std::size_t>(optional + 60);
  if (have < need) return {};
  const unsigned char* pe = header + optional - 24;
  if (std::memcmp(pe, "PE\0\0", 4) != 0 || header[optional] != 0x0B || header[optional + 1] != 0x01) return {};
  AddressRange range;
  range.base = WordAt(header + optional + 28);
  range.size = WordAt(header + optional + 56);
  const std::uint64_t base = range.base, size = range.size, moved = kRewrittenImageBase;
  // Both ranges must lie below 2^32 for a swap to be its own inverse.
  if (size == 0 || base + size > std::uint64_t{1} << 32 || moved + size > std::uint64_t{1} << 32 ||
      (base < moved + size && moved < base + size))
    return {};
  range.start = static_cast<std::uint32_t>(need);
  return range;
}

void SwapAddresses(unsigned char* data, std::size_t count, const AddressRange& range, bool descending) {
  const std::uint32_t base = range.base, size = range.size, moved = kRewrittenImageBase;
  // Most words lie in neither range: their last byte, looked up, tells.
  bool candidate[256] = {};
  for (std::uint32_t start : {base, moved})
    for (std::uint32_t top = start >> 24; top <= (start + size - 1) >> 24; ++top) candidate[top] = true;
  auto swap = [&](unsigned char* at) {
    if (!candidate[at[3]]) return;
    std::uint32_t word = WordAt(at);
    if (word - base < size)
      word = word - base + moved;
    else if (word - moved < size)
      word = word - moved + base;
    else
      return;
    at[0] = static_cast<unsigned char>(word);
    at[1] = static_cast<unsigned char>(word >> 8);
    at[2] = static_cast<unsigned char>(word >> 16);
    at[3] = static_cast<unsigned char>(word >> 24);
  };
  if (descending) {
    for (std::size_t i = count; i-- > 0;) swap(data + i);
  } else {
    for (std::size_t i = 0; i < count; ++i) swap(data + i);
  }
}

void RewriteAddresses(unsigned char* file, std::size_t size) {
  std::size_t need = 0;
  const AddressRange range = DecideAddressRewrite(file, size, size, need);
  if (range.start != 0 && size >= std::size_t{range.start} + 4)
    SwapAddresses(file + range.start, size - 3 - range.start, range, true);
}

AddressRestorer::AddressRestorer(std::vector<std::uint32_t> fileSizes) : m_fileSizes(std::move(fileSizes)) {}

void AddressRestorer::Advance(std::size_t count) {
  m_nLeft -= static_cast<std::uint32_t>(count);
  m_nPosition += static_cast<std::uint32_t>(count);
}

std::size_t AddressRestorer::Restore(unsigned char* data, std::size_t size) {
  std::size_t at = 0;
  while (at < size) {
    if (m_nLeft == 0) {
      if (m_nNextFile == m_fileSizes.size()) return size;
      m_nFileSize = m_nLeft = m_fileSizes[m_nNextFile++];
      m_nPosition = 0;
      m_bDeciding = true;
      m_range = {};
      continue;
    }
    const std::size_t span = std::min<std::size_t>(size - at, m_nLeft);
    if (m_bDeciding) {
      // The header passes unchanged; a copy of it decides.
      std::size_t need = 0;
      m_range = DecideAddressRewrite(m_header, m_nPosition, m_nFileSize, need);
      if (m_nPosition >= need) {
        m_bDeciding = false;
        continue;
      }
      const std::size_t take = std::min(span, need - m_nPosition);
      std::memcpy(m_header + m_nPosition, data + at, take);
      at += take;
      Advance(take);
      continue;
    }
    if (m_range.start == 0 || m_nLeft < 4) {
      at += span;
      Advance(span);
      continue;
    }
    // The positions whose words lie both in the file and in `data`.
    if (size - at < 4) return at;
    const std::size_t count = std::min<std::size_t>(m_nLeft, size - at) - 3;
    SwapAddresses(data + at, count, m_range, false);
    at += count;
    Advance(count);
  }
  return size;
}

std::vector<std::uint32_t> FileSizesInDataOrder(const PackageDirectory& directory) {
  std::vector<std::uint32_t> sizes;
  for (const auto& group : directory)
    for (const PackageEntry& entry : group.second) sizes.push_back(entry.size);
  return sizes;
}

// The decoded bytes of a rewritten stream wait in `buffer` until the
// restorer has made them final: [begin, ready) are final, [ready, end) wait
// for the bytes that follow.
struct StreamDecoder::State {
  ZSTD_DCtx* context = ZSTD_createDCtx();
  std::unique_ptr<AddressRestorer> restorer;
  std::unique_ptr<unsigned char[]> buffer;
  std::size_t capacity = 0, begin = 0, ready = 0, end = 0;
  bool frameDone = true;  // the last call of the library ended a frame
  ~State() { ZSTD_freeDCtx(context); }
};

StreamDecoder::StreamDecoder(std::unique_ptr<AddressRestorer> restorer) : m_pState(new State) {
  if (restorer && m_pState->context) {
    m_pState->capacity = ZSTD_DStreamOutSize();
    m_pState->buffer.reset(new (std::nothrow) unsigned char[m_pState->capacity]);
    m_pState->restorer = std::move(restorer);
    if (!m_pState->buffer) {
      ZSTD_freeDCtx(m_pState->context);
      m_pState->context = nullptr;
    }
  }
  // A frame that asks for a larger window is refused when its header is
  // read, before its window is allocated.
  if (m_pState->context &&
      ZSTD_isError(ZSTD_DCtx_setParameter(m_pState->context, ZSTD_d_windowLogMax, static_cast<int>(kMaxWindowLog)))) {
    ZSTD_freeDCtx(m_pState->context);
    m_pState->context = nullptr;
  }
}

StreamDecoder::~StreamDecoder() = default;

static DecodeStatus StatusOfError(std::size_t result) {
  switch (ZSTD_getErrorCode(result)) {
    case ZSTD_error_frameParameter_windowTooLarge:
      return DecodeStatus::WindowTooLarge;
    case ZSTD_error_memory_allocation:
      return DecodeStatus::NoMemory;
    default:
      return DecodeStatus::Malformed;
  }
}

bool StreamDecoder::Valid() const { return m_pState->context != nullptr; }

DecodeStatus StreamDecoder::Decode(const unsigned char* in, std::size_t inSize, std::size_t& inUsed,
                                   unsigned char* out, std::size_t outSize, std::size_t& outMade) {
  if (m_pState->restorer) return DecodeRestored(in, inSize, inUsed, out, outSize, outMade);
  ZSTD_inBuffer input{in, inSize, 0};
  ZSTD_outBuffer output{out, outSize, 0};
  const std::size_t result = ZSTD_decompressStream(m_pState->context, &output, &input);
  inUsed = input.pos;
  outMade = output.pos;
  return ZSTD_isError(result) ? StatusOfError(result) : result == 0 ? DecodeStatus::FrameDone : DecodeStatus::Ok;
}

DecodeStatus StreamDecoder::DecodeRestored(const unsigned char* in, std::size_t inSize, std::size_t& inUsed,
                                           unsigned char* out, std::size_t outSize, std::size_t& outMade) {
  State& s = *m_pState;
  inUsed = outMade = 0;
  if (s.begin == s.ready) {
    // Nothing final left: the bytes that wait go to the front, decoded ones after them.
    std::memmove(s.buffer.get(), s.buffer.get() + s.ready, s.end - s.ready);
    s.end -= s.ready;
    s.begin = s.ready = 0;
    ZSTD_inBuffer input{in, inSize, 0};
    ZSTD_outBuffer output{s.buffer.get() + s.end, s.capacity - s.end, 0};
    const std::size_t result = ZSTD_decompressStream(s.context, &output, &input);
    inUsed = input.pos;
    if (ZSTD_isError(result)) return StatusOfError(result);
    s.frameDone = result == 0;
    s.end += output.pos;
    s.ready = s.restorer->Restore(s.buffer.get(), s.end);
  }
  outMade = std::min(outSize, s.ready - s.begin);
  std::memcpy(out, s.buffer.get() + s.begin, outMade);
  s.begin += outMade;
  return s.frameDone && s.begin == s.end ? DecodeStatus::FrameDone : DecodeStatus::Ok;
}

const char* DecodeStatusText(DecodeStatus status) {
  switch (status) {
    case DecodeStatus::Ok:
    case DecodeStatus::FrameDone:
      return "";
    case DecodeStatus::WindowTooLarge:
      return "the compressed stream asks for a window larger than 64 MiB";
    case DecodeStatus::Malformed:
      break;
    case DecodeStatus::NoMemory:
      return "the compressed stream's window cannot be allocated";
  }
  return "the compressed stream is malformed";
}

}  // namespace nsTobrin
