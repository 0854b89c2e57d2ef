#include "package/package_decoder.h"

#include <zstd.h>
#include <zstd_errors.h>

namespace nsTobrin {

struct StreamDecoder::State {
  ZSTD_DCtx* context = ZSTD_createDCtx();
  ~State() { ZSTD_freeDCtx(context); }
};

StreamDecoder::StreamDecoder() : m_pState(new State) {
  // A frame that asks for a larger window is refused when its header is
  // read, before its window is allocated.
  if (m_pState->context &&
      ZSTD_isError(ZSTD_DCtx_setParameter(m_pState->context, ZSTD_d_windowLogMax, static_cast<int>(kMaxWindowLog)))) {
    ZSTD_freeDCtx(m_pState->context);
    m_pState->context = nullptr;
  }
}

StreamDecoder::~StreamDecoder() = default;

bool StreamDecoder::Valid() const { return m_pState->context != nullptr; }

DecodeStatus StreamDecoder::Decode(const unsigned char* in, std::size_t inSize, std::size_t& inUsed,
                                   unsigned char* out, std::size_t outSize, std::size_t& outMade) {
  ZSTD_inBuffer input{in, inSize, 0};
  ZSTD_outBuffer output{out, outSize, 0};
  const std::size_t result = ZSTD_decompressStream(m_pState->context, &output, &input);
  inUsed = input.pos;
  outMade = output.pos;
  if (ZSTD_isError(result)) {
    switch (ZSTD_getErrorCode(result)) {
      case ZSTD_error_frameParameter_windowTooLarge:
        return DecodeStatus::WindowTooLarge;
      case ZSTD_error_memory_allocation:
        return DecodeStatus::NoMemory;
      default:
        return DecodeStatus::Malformed;
    }
  }
  return result == 0 ? DecodeStatus::FrameDone : DecodeStatus::Ok;
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
