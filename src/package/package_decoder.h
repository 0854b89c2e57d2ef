// The decoder of a compressed package's data area: the stored bytes go in as
// the copy walk reads them, the files' bytes come out. One small interface
// over the library (zstd), so that the runner, the packer, the tests and the
// fuzzer all decode through the same code. Portable C++17.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "package/package_format.h"

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

// The address rewrite of packages marked "TbAr". A file is rewritten when it
// is a PE32 image of at most 64 MiB: "MZ", e_lfanew (at 0x3C) with the
// optional header's SizeOfImage field within the file's first 4 KiB, "PE\0\0",
// optional header magic 0x10B, image base B and image size N such that
// [B, B+N) and [0xA0000000, 0xA0000000+N) both lie below 2^32 and do not
// overlap. At every byte position p from the first byte after SizeOfImage to
// the file's size minus 4, the little-endian word at p is swapped between
// the two ranges (w - B + 0xA0000000 and back); other words stay. The packer
// swaps at the positions from the last to the first, the reader undoes it by
// swapping from the first to the last: each swap is its own inverse and the
// orders are reversed, so every file comes back exactly, whatever its bytes.
// The header bytes that decide are never changed, so both sides decide alike.
// The absolute addresses of a program's image (its relocated operands and
// tables) then come out far from the bytes of code and text around them in
// a form the compressor finds as repeats.
constexpr std::uint32_t kRewrittenImageBase = 0xA0000000u;
constexpr std::uint64_t kMaxRewrittenFileSize = 64u << 20;
constexpr std::size_t kMaxRewriteHeaderSize = 4096;

// What a file's first bytes decide. `start` 0: the file is not rewritten.
struct AddressRange {
  std::uint32_t start = 0;  // the first position swapped
  std::uint32_t base = 0, size = 0;
};
// Decides from the first `have` bytes of a file of `fileSize` bytes; sets
// `need` to the number of first bytes the decision takes. Until `have`
// reaches `need` the result is not the decision.
AddressRange DecideAddressRewrite(const unsigned char* header, std::size_t have, std::uint64_t fileSize,
                                  std::size_t& need);
// Swaps the words at `count` positions from `data` on: from the last to the
// first when `descending` (the packer), else from the first to the last.
void SwapAddresses(unsigned char* data, std::size_t count, const AddressRange& range, bool descending);
// Rewrites one whole file in place as the packer does.
void RewriteAddresses(unsigned char* file, std::size_t size);

// Undoes the rewrite on the data area as it is decoded, in pieces.
class AddressRestorer {
 public:
  // `fileSizes`: the files' sizes in the data area's order.
  explicit AddressRestorer(std::vector<std::uint32_t> fileSizes);
  // Restores `data` in place: the data area's bytes from the first one the
  // last call left unrestored. Returns how many of them are final; the rest
  // (at most 3: the start of a word whose last bytes have not come) must be
  // given again at the start of the next call, with what follows. Bytes after
  // the last file are final as they are.
  std::size_t Restore(unsigned char* data, std::size_t size);

 private:
  void Advance(std::size_t count);

  std::vector<std::uint32_t> m_fileSizes;
  std::size_t m_nNextFile = 0;
  std::uint32_t m_nFileSize = 0, m_nLeft = 0, m_nPosition = 0;
  bool m_bDeciding = false;
  AddressRange m_range;
  unsigned char m_header[kMaxRewriteHeaderSize];
};

// The sizes of the directory's files in the data area's order.
std::vector<std::uint32_t> FileSizesInDataOrder(const PackageDirectory& directory);

class StreamDecoder {
 public:
  // With `restorer`, the decoded bytes go through it before they are handed out.
  explicit StreamDecoder(std::unique_ptr<AddressRestorer> restorer = nullptr);
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
  DecodeStatus DecodeRestored(const unsigned char* in, std::size_t inSize, std::size_t& inUsed, unsigned char* out,
                              std::size_t outSize, std::size_t& outMade);

  struct State;
  std::unique_ptr<State> m_pState;
};

// Why a stream was refused, in plain words.
const char* DecodeStatusText(DecodeStatus status);

}  // namespace nsTobrin
