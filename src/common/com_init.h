// COM initialised on the current thread for the lifetime of the object.
// A scope, not an owner of the template: what it undoes belongs to the
// thread rather than to a value, so it can neither move nor be handed over.
#pragma once

#include <objbase.h>

namespace nsTobrin {

class CComInitialization {
 public:
  explicit CComInitialization(DWORD concurrencyModel) : m_hResult(CoInitializeEx(nullptr, concurrencyModel)) {}
  // Only an initialisation of our own is undone; a thread that already runs
  // in another apartment (RPC_E_CHANGED_MODE) is left as it was.
  ~CComInitialization() {
    if (SUCCEEDED(m_hResult)) CoUninitialize();
  }
  CComInitialization(const CComInitialization&) = delete;
  CComInitialization& operator=(const CComInitialization&) = delete;

  // True when COM can be used on this thread, in whichever apartment.
  bool Usable() const { return SUCCEEDED(m_hResult) || m_hResult == RPC_E_CHANGED_MODE; }
  HRESULT Result() const { return m_hResult; }

 private:
  HRESULT m_hResult;
};

}  // namespace nsTobrin
