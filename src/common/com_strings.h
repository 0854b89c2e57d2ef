// The owner of automation strings, one alias of the one owner template.
#pragma once

#include <oleauto.h>

#include <string>

#include "common/unique_resource.h"

namespace nsTobrin {

// A BSTR freed when its owner goes; a null one (no string) is "nothing",
// an empty one is a string.
using CBstr = UniqueResource<BSTR, &SysFreeString>;

// A copy of `text`; null when it cannot be allocated.
inline CBstr NewBstr(const std::wstring& text) {
  return CBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// The text up to its first NUL character; empty for null.
inline std::wstring BstrText(const CBstr& text) { return text ? std::wstring(text.Get()) : std::wstring(); }

// A VARIANT of type VT_BSTR that lends `text` to a call taking an [in]
// VARIANT. A VARIANT is a struct, not a handle, so the string stays owned
// by its CBstr and the variant is never cleared.
inline VARIANT LentVariant(const CBstr& text) {
  VARIANT variant;
  VariantInit(&variant);
  V_VT(&variant) = VT_BSTR;
  V_BSTR(&variant) = text.Get();
  return variant;
}

}  // namespace nsTobrin
