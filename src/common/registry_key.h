// An open registry key, closed when it goes out of scope.
#pragma once

#include <windows.h>

namespace tobrin {

class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() {
    if (m_hKey) RegCloseKey(m_hKey);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  HKEY Get() const { return m_hKey; }
  PHKEY Receive() { return &m_hKey; }

 private:
  HKEY m_hKey = nullptr;
};

}  // namespace tobrin
