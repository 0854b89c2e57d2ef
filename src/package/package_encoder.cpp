// The compressed layout's writer: the encoder side of zstd, linked by the
// packer and the tests only (the runner carries the decoder alone).
#include <zstd.h>

#include <memory>

#include "package/package_decoder.h"
#include "package/package_writer.h"

namespace nsTobrin {

namespace {

// The smallest window that holds the whole data area, at least 1 KiB and at
// most 64 MiB: a small package asks the runner for little memory.
int WindowLogFor(std::uint64_t dataSize) {
  int log = 10;  // zstd's smallest window
  while (log < static_cast<int>(kMaxWindowLog) && (std::uint64_t{1} << log) < dataSize) ++log;
  return log;
}

// Compresses what it is given into one frame written to the file.
class EncoderSink : public ByteSink {
 public:
  EncoderSink(std::FILE* out, int level, std::uint64_t dataSize)
      : m_pOut(out), m_pContext(ZSTD_createCCtx()), m_output(new unsigned char[ZSTD_CStreamOutSize()]) {
    const int windowLog = WindowLogFor(dataSize);
    // Long-distance matching finds the repeats a large tree of programs
    // holds across the whole window; one thread, so that the same input
    // always gives the same bytes.
    m_bOk = m_pContext && !ZSTD_isError(ZSTD_CCtx_setParameter(m_pContext, ZSTD_c_compressionLevel, level)) &&
            !ZSTD_isError(ZSTD_CCtx_setParameter(m_pContext, ZSTD_c_windowLog, windowLog)) &&
            !ZSTD_isError(ZSTD_CCtx_setParameter(m_pContext, ZSTD_c_enableLongDistanceMatching, windowLog >= 20)) &&
            !ZSTD_isError(ZSTD_CCtx_setParameter(m_pContext, ZSTD_c_checksumFlag, 0)) &&
            !ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(m_pContext, dataSize));
  }
  ~EncoderSink() override { ZSTD_freeCCtx(m_pContext); }

  bool Write(const void* data, std::size_t size) override {
    ZSTD_inBuffer input{data, size, 0};
    while (m_bOk && input.pos < input.size) Step(&input, ZSTD_e_continue);
    return m_bOk;
  }

  // Ends the frame; false when anything failed.
  bool Finish() {
    ZSTD_inBuffer input{nullptr, 0, 0};
    while (m_bOk && Step(&input, ZSTD_e_end) != 0) {
    }
    return m_bOk;
  }

 private:
  // One call of the encoder; what it has left to flush.
  std::size_t Step(ZSTD_inBuffer* input, ZSTD_EndDirective directive) {
    ZSTD_outBuffer output{m_output.get(), ZSTD_CStreamOutSize(), 0};
    const std::size_t left = ZSTD_compressStream2(m_pContext, &output, input, directive);
    if (ZSTD_isError(left) || (output.pos && std::fwrite(m_output.get(), 1, output.pos, m_pOut) != output.pos)) {
      m_bOk = false;
      return 0;
    }
    return left;
  }

  std::FILE* m_pOut;
  ZSTD_CCtx* m_pContext;
  std::unique_ptr<unsigned char[]> m_output;
  bool m_bOk = false;
};

}  // namespace

bool AppendCompressedPackage(std::FILE* executable, const std::vector<WriterGroup>& groups, int level,
                             bool* compressed) {
  const std::uint64_t offset = FileSizeOf(executable);
  if (offset > kMaxPackageOffset || !SeekTo(executable, offset)) return false;
  const std::uint64_t dataSize = DataSizeOf(groups);
  std::string head = DirectoryBytes(groups);
  const std::uint64_t lengthAt = offset + head.size();
  head.append(8, '\0');  // the stream's length, written once it is known
  if (std::fwrite(head.data(), 1, head.size(), executable) != head.size()) return false;
  {
    EncoderSink encoder(executable, level, dataSize);
    if (!WriteDataArea(encoder, groups) || !encoder.Finish()) return false;
  }
  const std::uint64_t end = Tell(executable);
  const std::uint64_t streamSize = end - lengthAt - 8;
  if (compressed) *compressed = streamSize + 8 < dataSize;
  if (streamSize + 8 >= dataSize) {
    // Data that does not compress is stored: the package never grows.
    if (!SeekTo(executable, offset) || !WritePackage(executable, groups) ||
        !TruncateFile(executable, Tell(executable)))
      return false;
    return FinishPackage(executable, offset, PackageMark::SealedStored, true);
  }
  std::string length;
  PutU32(length, static_cast<std::uint32_t>(streamSize));
  PutU32(length, static_cast<std::uint32_t>(streamSize >> 32));
  return SeekTo(executable, lengthAt) && std::fwrite(length.data(), 1, length.size(), executable) == length.size() &&
         std::fflush(executable) == 0 && FinishPackage(executable, offset, PackageMark::Compressed, true);
}

}  // namespace nsTobrin
