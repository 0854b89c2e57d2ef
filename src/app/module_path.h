// The running program's own file: the one whose package is extracted.
#pragma once

#include <string>

namespace nsTobrin {

// The running program's full path, whatever its length.
std::wstring GetOwnModulePath();

}  // namespace nsTobrin
