// An open C stream, closed when its owner goes (portable: the format code,
// the packer and the tests share it).
#pragma once

#include <cstdio>

#include "common/unique_resource.h"

namespace nsTobrin {

inline void CloseStdioFile(std::FILE* file) { std::fclose(file); }
using StdioFile = UniqueResource<std::FILE*, &CloseStdioFile>;

}  // namespace nsTobrin
