#include "common/windows_names.h"

#include <windows.h>

namespace nsTobrin {

bool SameNameOnWindows(const std::u16string& a, const std::u16string& b) {
  return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                              reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

}  // namespace nsTobrin
