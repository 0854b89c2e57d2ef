// Bytes for tests and seeds: stand-in images, hand-made directory records
// and UTF-16 text, portable so every test program and the seed writer share
// them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

#include "package/package_seal.h"
#include "package/package_writer.h"

namespace package_bytes {

// An executable stand-in: "MZ", zeros up to `size`, and the package offset
// field (bytes 32 to 35) set to `packageOffset`.
inline std::string StandInImage(std::size_t size = 64, std::uint32_t packageOffset = 0) {
  std::string image(size, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  std::string offset;
  nsTobrin::PutU32(offset, packageOffset);
  if (size >= 36) image.replace(32, 4, offset);
  return image;
}

// `size` bytes of xorshift noise, which no coder makes smaller.
inline std::string Noise(std::size_t size) {
  std::string noise(size, '\0');
  std::uint32_t state = 2463534242u;
  for (char& c : noise) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    c = static_cast<char>(state >> 24);
  }
  return noise;
}

// `bytes` with `bit` flipped in each byte at `at`.
inline std::string Flipped(std::string bytes, std::initializer_list<std::size_t> at, char bit = 1) {
  for (std::size_t i : at) bytes[i] ^= bit;
  return bytes;
}

// `bytes` with the little-endian `value` written over bytes `at` to `at` + 3.
inline std::string WithU32(std::string bytes, std::size_t at, std::uint32_t value) {
  std::string le;
  nsTobrin::PutU32(le, value);
  return bytes.replace(at, 4, le);
}

// A directory written record by record, true or lying: a group record is
// its name's length, its entry count and the name; a file record its name's
// length, its size and the name. `length` overrides the name's real length.
class Records {
 public:
  explicit Records(std::uint32_t groupCount) { nsTobrin::PutU32(m_bytes, groupCount); }
  Records& Group(const std::u16string& name, std::uint32_t entries, std::uint64_t length = kRealLength) {
    return Record(name, entries, length);
  }
  Records& File(const std::u16string& name, std::uint32_t size, std::uint64_t length = kRealLength) {
    return Record(name, size, length);
  }
  Records& Data(const std::string& bytes) {
    m_bytes += bytes;
    return *this;
  }
  const std::string& Bytes() const { return m_bytes; }
  // A 64-byte stand-in image whose offset field points right behind it,
  // then the records.
  std::string Bound() const { return StandInImage(64, 64) + m_bytes; }

 private:
  static constexpr std::uint64_t kRealLength = ~std::uint64_t{0};
  Records& Record(const std::u16string& name, std::uint32_t value, std::uint64_t length) {
    nsTobrin::PutU32(m_bytes, static_cast<std::uint32_t>(length == kRealLength ? name.size() : length));
    nsTobrin::PutU32(m_bytes, value);
    nsTobrin::PutName(m_bytes, name);
    return *this;
  }
  std::string m_bytes;
};

// A zstd frame made by hand: `content` in raw blocks of at most 128 KiB,
// under a window of 2^windowLog bytes. With `declared`, the frame says it
// holds that many bytes (single segment, 8-byte size field) instead of
// naming its window.
inline std::string RawFrame(const std::string& content, unsigned windowLog = 20, long long declared = -1) {
  std::string frame("\x28\xB5\x2F\xFD", 4);
  if (declared < 0) {
    frame += '\0';                                     // no size, window named, no checksum
    frame += static_cast<char>((windowLog - 10) << 3);  // the window's exponent
  } else {
    frame += '\xE0';  // single segment, an 8-byte size
    std::string size;
    nsTobrin::PutU32(size, static_cast<std::uint32_t>(declared));
    nsTobrin::PutU32(size, static_cast<std::uint32_t>(static_cast<unsigned long long>(declared) >> 32));
    frame += size;
  }
  std::size_t at = 0;
  do {
    const std::size_t piece = std::min<std::size_t>(content.size() - at, 128 * 1024);
    const bool last = at + piece == content.size();
    const std::uint32_t header = (last ? 1u : 0u) | static_cast<std::uint32_t>(piece) << 3;  // a raw block
    frame += {static_cast<char>(header & 0xFF), static_cast<char>(header >> 8 & 0xFF), static_cast<char>(header >> 16)};
    frame += content.substr(at, piece);
    at += piece;
  } while (at < content.size());
  return frame;
}

// A PE32 program as far as the address rewrite reads one: "MZ", e_lfanew,
// "PE\0\0", the optional header's `magic`, ImageBase `base` and SizeOfImage
// `size`, then `bodySize` bytes of addresses in the image, in the range it is
// moved to (0xA0000000) and elsewhere, at every alignment.
inline std::string Pe32Program(std::uint32_t base, std::uint32_t size, std::size_t bodySize = 4096,
                               std::uint16_t magic = 0x10B, std::uint32_t lfanew = 0x80) {
  std::string image(lfanew + 84, '\0'), word;
  auto put = [&image](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) image[at + i] = static_cast<char>(value >> 8 * i);
  };
  image[0] = 'M';
  image[1] = 'Z';
  put(0x3C, lfanew);
  image.replace(lfanew, 4, "PE\0\0", 4);
  put(lfanew + 24, magic);
  put(lfanew + 52, base);
  put(lfanew + 80, size);
  std::uint32_t state = 2463534242u;
  while (image.size() < lfanew + 84 + bodySize) {
    state ^= state << 13, state ^= state >> 17, state ^= state << 5;
    const std::uint32_t offset = size ? state % size : 0;
    const std::uint32_t words[] = {base + offset, 0xA0000000u + offset, state, base + offset};
    word.clear();
    nsTobrin::PutU32(word, words[state >> 30]);
    image += word.substr(0, (state >> 8) % 4 == 0 ? 3 : 4);  // now and then one byte fewer
  }
  image.resize(lfanew + 84 + bodySize);
  return image;
}

// `image` with a compressed package bound to it: the mark (TbZs unless told)
// and the offset, the directory `records`, the stream's length, `stream`,
// and a seal that matches, so that whatever is wrong lies in the stream alone.
inline std::string CompressedBound(std::string image, const std::string& records, const std::string& stream,
                                   const char* mark = nsTobrin::kCompressedMark) {
  std::string fields(mark, 4);
  nsTobrin::PutU32(fields, static_cast<std::uint32_t>(image.size()));
  image.replace(28, 8, fields);
  std::string package = records;
  nsTobrin::PutU32(package, static_cast<std::uint32_t>(stream.size()));
  nsTobrin::PutU32(package, 0);
  package += stream;
  nsTobrin::SealDigest digest;
  digest.Observe(reinterpret_cast<const unsigned char*>(package.data()), package.size());
  return image + package + nsTobrin::SealRecordBytes(package.size(), digest.Result());
}

// UTF-16LE code units of `text`, after a byte-order mark unless `bom` is
// false. Plain text is taken one byte to one unit (ASCII).
template <typename Char>
std::string Utf16LeOf(const std::basic_string<Char>& text, bool bom) {
  std::string out = bom ? "\xFF\xFE" : "";
  for (const Char unit : text) {
    const auto c = static_cast<std::uint16_t>(static_cast<std::make_unsigned_t<Char>>(unit));
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}
inline std::string Utf16Le(const std::u16string& text, bool bom = true) { return Utf16LeOf(text, bom); }
inline std::string Utf16Le(const std::wstring& text, bool bom = true) { return Utf16LeOf(text, bom); }
inline std::string Utf16Le(const std::string& ascii, bool bom = true) { return Utf16LeOf(ascii, bom); }

}  // namespace package_bytes
