// The lengths of paths the runner can work with, in UTF-16 code units.
#pragma once

#include <cstddef>

namespace nsTobrin {

// The longest file or folder name Windows keeps.
inline constexpr std::size_t kLongestFileName = 255;

// The longest path a program can be started from (MAX_PATH without its
// terminator).
inline constexpr std::size_t kLongestStartPath = 259;

// The shortest extraction folder the runner makes, "C:\{GUID}\": a drive's
// root, a GUID in braces and a backslash.
inline constexpr std::size_t kShortestExtractFolder = 3 + 38 + 1;

// How deep below the extraction folder the payload may lie and still be
// started wherever the folder is made.
inline constexpr std::size_t kLongestStartablePayloadPath = kLongestStartPath - kShortestExtractFolder;

}  // namespace nsTobrin
