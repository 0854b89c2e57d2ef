#include "run/settings.h"

#include <windows.h>

#include "app/tobrin_app.h"
#include "app/tobrin_dlg.h"
#include "contract/settings_contract.h"
#include "run/silent_mode.h"

namespace nsTobrin {

namespace {

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The platform's profile reader, asked with the contract's default and
// buffer; false, with `value` left as it was, for a value that counts as
// absent.
bool ReadValue(const AsciiName& section, const wchar_t* key, const std::wstring& iniPath, std::wstring& value) {
  wchar_t buffer[kSettingBufferSize] = {};
  GetPrivateProfileStringW(Wide(section.utf16), key, Wide(kAbsentValue.utf16), buffer, kSettingBufferSize,
                           iniPath.c_str());
  if (IsAbsentSettingValue(reinterpret_cast<const char16_t*>(buffer))) return false;
  value = buffer;
  return true;
}

// The key's value as a null-terminated UTF-16 text, or null when absent.
const char16_t* ReadKey(const SettingKey& key, const std::wstring& extractFolder, std::wstring& value) {
  const bool present = ReadValue(key.section, Wide(key.key.utf16), extractFolder + Wide(key.file.utf16), value);
  return present ? reinterpret_cast<const char16_t*>(value.c_str()) : nullptr;
}

}  // namespace

void ReadParamOption(const wchar_t* key, const std::wstring& iniPath, std::wstring& value) {
  ReadValue(kParamOptionSection, key, iniPath, value);
}

void ReadSetting(const wchar_t* key, const std::wstring& iniPath, std::wstring& value) {
  ReadValue(kSettingSection, key, iniPath, value);
}

void ReadSettingKey(const SettingKey& key, const std::wstring& extractFolder, std::wstring& value) {
  ReadKey(key, extractFolder, value);
}

bool ResolveMessageMode(CTobrinDlg& dlg) {
  if (IsSilentCommandLine(theApp.m_strCmdLine) || IsSilentSwitchOn()) return true;

  std::wstring show, isOk;
  dlg.m_bShowMessageBox = ShowsMessageBox(ReadKey(kIsShowMessageBoxKey, dlg.m_strExtractFolder, show));
  if (!dlg.m_bShowMessageBox) return false;
  dlg.m_bIsOk = HasOneButton(ReadKey(kIsOkKey, dlg.m_strExtractFolder, isOk));
  return true;
}

}  // namespace nsTobrin
