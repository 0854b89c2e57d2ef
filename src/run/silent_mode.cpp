#include "run/silent_mode.h"

#include <windows.h>

#include <string>

#include "common/win_owners.h"

namespace nsTobrin {

const wchar_t kSilentSwitchKey[] = L"SOFTWARE\\Brenko Corporation\\OLMI update";
const wchar_t kSilentSwitchValue[] = L"SilentExecution";

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

}  // namespace nsTobrin
