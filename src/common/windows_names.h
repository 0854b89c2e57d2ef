// Names compared as Windows compares them when it opens a file: ordinal,
// code unit by code unit, without regard to letter case. The system's own
// comparison; the payload lookup (contract/payload_lookup.h) is given it.
#pragma once

#include <string>

namespace nsTobrin {

bool SameNameOnWindows(const std::u16string& a, const std::u16string& b);

}  // namespace nsTobrin
