// The compressed layout's writer: the encoder side of zstd, linked by the
// packer and the tests only (the runner carries the decoder alone).
#include <zstd.h>

#include <algorithm>
#include <memory>
#include <vector>

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

// Rewrites the addresses of the data area's PE32 files on their way to
// `next`: each file small enough to be rewritten is held whole until its
// last byte has come (package_decoder.h), larger ones pass as they come.
class RewriteSink : public ByteSink {
 public:
  RewriteSink(ByteSink& next, std::vector<std::uint32_t> fileSizes) : m_next(next), m_fileSizes(std::move(fileSizes)) {}

  bool Write(const void* data, std::size_t size) override {
    const unsigned char* from = static_cast<const unsigned char*>(data);
    while (size > 0) {
      while (m_nLeft == 0 && m_nNextFile < m_fileSizes.size()) {
        m_nLeft = m_fileSizes[m_nNextFile++];
        m_bHolding = m_nLeft <= kMaxRewrittenFileSize;
        m_file.clear();
      }
      // Bytes beyond the files' sizes pass as they are.
      const std::size_t take = m_nLeft == 0 ? size : static_cast<std::size_t>(std::min<std::uint64_t>(size, m_nLeft));
      if (m_bHolding && m_nLeft > 0) {
        m_file.insert(m_file.end(), from, from + take);
      } else if (!m_next.Write(from, take)) {
        return false;
      }
      from += take;
      size -= take;
      if (m_nLeft == 0) continue;
      m_nLeft -= static_cast<std::uint32_t>(take);
      if (m_nLeft == 0 && m_bHolding) {
        RewriteAddresses(m_file.data(), m_file.size());
        if (!m_next.Write(m_file.data(), m_file.size())) return false;
        m_file.clear();
      }
    }
    return true;
  }

 private:
  ByteSink& m_next;
  std::vector<std::uint32_t> m_fileSizes;
  std::size_t m_nNextFile = 0;
  std::uint32_t m_nLeft = 0;
  bool m_bHolding = false;
  std::vector<unsigned char> m_file;
};

}  // namespace

bool AppendCompressedPackage(std::FILE* executable, const std::vector<WriterGroup>& groups, int level,
                             bool* compressed, bool rewriteAddresses) {
  const std::uint64_t offset = FileSizeOf(executable);
  if (offset > kMaxPackageOffset || !SeekTo(executable, offset)) return false;
  const std::uint64_t dataSize = DataSizeOf(groups);
  std::string head = DirectoryBytes(groups);
  const std::uint64_t lengthAt = offset + head.size();
  head.append(8, '\0');  // the stream's length, written once it is known
  if (std::fwrite(head.data(), 1, head.size(), executable) != head.size()) return false;
  {
    EncoderSink encoder(executable, level, dataSize);
    if (rewriteAddresses) {
      RewriteSink rewriting(encoder, FileSizesInDataOrder(groups));
      if (!WriteDataArea(rewriting, groups)) return false;
    } else if (!WriteDataArea(encoder, groups)) {
      return false;
    }
    if (!encoder.Finish()) return false;
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
         std::fflush(executable) == 0 && FinishPackage(executable, offset,
                       rewriteAddresses ? PackageMark::CompressedRewritten : PackageMark::Compressed, true);
}

}  // namespace nsTobrin
