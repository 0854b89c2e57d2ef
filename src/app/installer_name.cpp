#include "app/installer_name.h"

#include <windows.h>

#include "common/win_owners.h"

namespace nsTobrin {

namespace {
constexpr wchar_t kPersistedKey[] =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted";
}

bool IsInstallerName(const std::wstring& modulePath) {
  std::wstring name = modulePath.substr(modulePath.find_last_of(L'\\') + 1);
  for (wchar_t& c : name)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
  return name.find(L"setup") != std::wstring::npos || name.find(L"install") != std::wstring::npos;
}

void RegisterWithCompatibilityAssistant(const std::wstring& modulePath) {
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kPersistedKey, 0, KEY_WRITE, key.Receive()) != ERROR_SUCCESS) return;
  const DWORD data = 33;
  RegSetValueExW(key.Get(), modulePath.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
}

}  // namespace nsTobrin
