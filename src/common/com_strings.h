// Owners of automation strings and of string variants.
#pragma once

#include <oleauto.h>

#include <string>
#include <utility>

namespace nsTobrin {

// A BSTR freed at the end of the scope; null stays distinguishable from "".
class CBstr {
 public:
  CBstr() = default;
  explicit CBstr(const std::wstring& text)
      : m_bstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~CBstr() { SysFreeString(m_bstr); }
  CBstr(const CBstr&) = delete;
  CBstr& operator=(const CBstr&) = delete;

  BSTR Get() const { return m_bstr; }
  bool IsNull() const { return m_bstr == nullptr; }
  BSTR* Receive() {
    SysFreeString(std::exchange(m_bstr, nullptr));
    return &m_bstr;
  }
  // The text up to its first NUL character; empty for null.
  std::wstring Text() const { return m_bstr ? std::wstring(m_bstr) : std::wstring(); }

 private:
  BSTR m_bstr = nullptr;
};

// A VARIANT of type VT_BSTR holding a copy of a text, cleared at the end of
// the scope. Valid() is false when the copy could not be allocated.
class CBstrVariant {
 public:
  explicit CBstrVariant(const std::wstring& text) {
    VariantInit(&m_variant);
    BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (copy) {
      V_VT(&m_variant) = VT_BSTR;
      V_BSTR(&m_variant) = copy;
    }
  }
  ~CBstrVariant() { VariantClear(&m_variant); }
  CBstrVariant(const CBstrVariant&) = delete;
  CBstrVariant& operator=(const CBstrVariant&) = delete;

  bool Valid() const { return V_VT(&m_variant) == VT_BSTR; }
  const VARIANT& Get() const { return m_variant; }

 private:
  VARIANT m_variant;
};

}  // namespace nsTobrin
