#include "run/extraction_root.h"

#include <windows.h>

#include "common/system_library.h"
#include "common/win_owners.h"
#include "extract/folder_security.h"
#include "run/silent_mode.h"

namespace nsTobrin {

const wchar_t kExtractionRootValue[] = L"ExtractionRoot";

namespace {

// Loaded from System32 for the one elevated run that needs it, so that the
// runner imports nothing more at its start.
using CreateEnvironmentBlockFunction = BOOL(WINAPI*)(void**, HANDLE, BOOL);
using DestroyEnvironmentBlockFunction = BOOL(WINAPI*)(void*);

// `text` with every %NAME% that the system's environment (its variables for
// no user, as the registry sets them) defines replaced, names compared
// without regard to case; other text, and an undefined %NAME%, stay. Empty
// when the system's environment cannot be read.
std::wstring ExpandFromSystemEnvironment(const std::wstring& text) {
  const HMODULE userenv = LoadSystemLibrary(L"userenv.dll");
  if (!userenv) return L"";
  const auto create = reinterpret_cast<CreateEnvironmentBlockFunction>(
      reinterpret_cast<void*>(GetProcAddress(userenv, "CreateEnvironmentBlock")));
  const auto destroy = reinterpret_cast<DestroyEnvironmentBlockFunction>(
      reinterpret_cast<void*>(GetProcAddress(userenv, "DestroyEnvironmentBlock")));
  void* block = nullptr;
  std::wstring expanded;
  if (create && destroy && create(&block, nullptr, FALSE) && block) {
    auto lookUp = [block](const std::wstring& name, std::wstring& value) {
      for (const wchar_t* entry = static_cast<const wchar_t*>(block); *entry; entry += wcslen(entry) + 1) {
        const wchar_t* equals = wcschr(entry + 1, L'=');  // a name may start with '='
        if (equals && CompareStringOrdinal(entry, static_cast<int>(equals - entry), name.c_str(),
                                           static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
          value = equals + 1;
          return true;
        }
      }
      return false;
    };
    for (size_t at = 0; at < text.size();) {
      const size_t open = text.find(L'%', at), close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
      if (close == std::wstring::npos) {
        expanded += text.substr(at);
        break;
      }
      std::wstring value;
      if (close > open + 1 && lookUp(text.substr(open + 1, close - open - 1), value)) {
        expanded += text.substr(at, open - at) + value;
        at = close + 1;
      } else {
        expanded += text.substr(at, close - at);  // the second '%' may open a name
        at = close;
      }
    }
    destroy(block);
  }
  FreeLibrary(userenv);
  return expanded;
}

}  // namespace

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
  // plain text means the same folder. An elevated run takes the values from
  // the system's environment only: the user's own environment (which may
  // define a system variable anew) would let the user choose the folder an
  // administrator's run writes and starts programs from.
  if (IsProcessElevated()) return ExpandFromSystemEnvironment(text);
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0) return L"";
  std::wstring expanded(needed, L'\0');
  const DWORD length = ExpandEnvironmentStringsW(text.c_str(), &expanded[0], needed);
  if (length == 0 || length > needed) return L"";
  expanded.resize(length - 1);
  return expanded;
}

}  // namespace nsTobrin
