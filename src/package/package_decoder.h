// The decoder of a compressed package's data area: the stored bytes go in as
// the copy walk reads them, the files' bytes come out. One small interface
// over the library (zstd), so that the runner, the packer, the tests and the
// fuzzer all decode through the same code. Portable C++17.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace nsTobrin {

// The largest window a package may ask for: the packer never writes a larger
// one, and the decoder refuses a larger one before allocating anything for it.
constexpr unsigned kMaxWindowLog = 26;  // 64 MiB
constexpr std::uint64_t kMaxWindowSize = std::uint64_t{1} << kMaxWindowLog;

enum class DecodeStatus {
  Ok,           // progress made; more may follow
  FrameDone,    // the last frame is complete and all of its bytes are out
  WindowTooLarge,
  Malformed,    // the stream is not a valid zstd stream
  NoMemory,
};

class StreamDecoder {
 public:
  StreamDecoder();
  ~StreamDecoder();
  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  // False when the decoder's state could not be allocated.
  bool Valid() const;
  // Decodes from `in` (`inSize` bytes, of which `inUsed` are taken) into
  // `out` (room for `outSize`, of which `outMade` are filled). Never writes
  // more than `outSize` bytes: the rest waits in the decoder for the next
  // call. FrameDone when a frame ends with this call and nothing of it is
  // left to hand out.
  DecodeStatus Decode(const unsigned char* in, std::size_t inSize, std::size_t& inUsed, unsigned char* out,
                      std::size_t outSize, std::size_t& outMade);

 private:
  struct State;
  std::unique_ptr<State> m_pState;
};

// Why a stream was refused, in plain words.
const char* DecodeStatusText(DecodeStatus status);

}  // namespace nsTobrin
