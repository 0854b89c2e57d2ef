#include "run/silent_mode.h"

#include <windows.h>

#include <string>

#include "common/win_owners.h"

namespace nsTobrin {

const wchar_t kSilentSwitchKey[] = L"SOFTWARE\\Brenko Corporation\\OLMI update";
const wchar_t kSilentSwitchValue[] = L"SilentExecution";
const wchar_t kExtractionRootValue[] = L"ExtractionRoot";

namespace {

// Compares as _wcsicmp does in the "C" locale: only A to Z fold.
bool EqualsFoldingAsciiLetters(const std::wstring& text, const wchar_t* expected) {
  size_t i = 0;
  for (; i < text.size() && expected[i]; ++i) {
    wchar_t a = text[i], b = expected[i];
    if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a + 32);
    if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b + 32);
    if (a != b) return false;
  }
  return i == text.size() && expected[i] == 0;
}

}  // namespace

bool IsSilentCommandLine(const std::wstring& commandLine) {
  return EqualsFoldingAsciiLetters(commandLine, L"-s") || EqualsFoldingAsciiLetters(commandLine, L"/s");
}

bool IsSilentSwitchOn() {
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSilentSwitchKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return false;
  DWORD type = 0, data = 0, size = sizeof(data);
  return RegQueryValueExW(key.Get(), kSilentSwitchValue, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) ==
             ERROR_SUCCESS &&
         data == 1;
}

std::wstring ReadExtractionRoot() {
  RegistryKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSilentSwitchKey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return L"";
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), kExtractionRootValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size < sizeof(wchar_t))
    return L"";
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (RegQueryValueExW(key.Get(), kExtractionRootValue, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) !=
      ERROR_SUCCESS)
    return L"";
  text.resize(size / sizeof(wchar_t));
  // The stored text may or may not end with its terminator.
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  if (text.find(L'\0') != std::wstring::npos) return L"";
  // Both types are expanded: an administrator writing %ProgramData% as a
  // plain text means the same folder.
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0) return L"";
  std::wstring expanded(needed, L'\0');
  const DWORD length = ExpandEnvironmentStringsW(text.c_str(), &expanded[0], needed);
  if (length == 0 || length > needed) return L"";
  expanded.resize(length - 1);
  return expanded;
}

}  // namespace nsTobrin
