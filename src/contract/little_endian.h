// Integers as the package and the PE headers store them: little-endian,
// whatever the machine's own order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace nsTobrin {

inline std::uint16_t LoadU16(const unsigned char* b) { return static_cast<std::uint16_t>(b[0] | b[1] << 8); }

inline std::uint32_t LoadU32(const unsigned char* b) {
  return static_cast<std::uint32_t>(LoadU16(b)) | static_cast<std::uint32_t>(LoadU16(b + 2)) << 16;
}

inline std::uint64_t LoadU64(const unsigned char* b) {
  return static_cast<std::uint64_t>(LoadU32(b)) | static_cast<std::uint64_t>(LoadU32(b + 4)) << 32;
}

// The same at byte `at` of a text of bytes, which must hold them.
inline std::uint16_t U16At(std::string_view bytes, std::size_t at) {
  return LoadU16(reinterpret_cast<const unsigned char*>(bytes.data() + at));
}
inline std::uint32_t U32At(std::string_view bytes, std::size_t at) {
  return LoadU32(reinterpret_cast<const unsigned char*>(bytes.data() + at));
}

}  // namespace nsTobrin
