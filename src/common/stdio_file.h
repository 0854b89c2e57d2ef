// An open C stream, closed when its owner goes (portable: the format code,
// the packer and the tests share it).
#pragma once

#include <cstdio>

#include "common/unique_resource.h"

namespace nsTobrin {

inline void CloseStdioFile(std::FILE* file) { std::fclose(file); }
using StdioFile = UniqueResource<std::FILE*, &CloseStdioFile>;

// Closes the stream and tells whether what was written to it reached the
// file: false for a failed close (errno says why) or for no stream at all.
inline bool CloseChecked(StdioFile& file) { return file && std::fclose(file.Release()) == 0; }

}  // namespace nsTobrin
