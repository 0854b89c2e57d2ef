#include "run/settings.h"

#include <windows.h>

#include "app/tobrin_app.h"
#include "app/tobrin_dlg.h"
#include "run/silent_mode.h"

namespace nsTobrin {

namespace {

void ReadValue(const wchar_t* section, const wchar_t* key, const std::wstring& iniPath, std::wstring& value) {
  wchar_t buffer[128] = {};
  GetPrivateProfileStringW(section, key, L"Error", buffer, 128, iniPath.c_str());
  if (wcscmp(buffer, L"Error") != 0) value = buffer;
}

}  // namespace

void ReadParamOption(const wchar_t* key, const std::wstring& iniPath, std::wstring& value) {
  ReadValue(L"ParamOption", key, iniPath, value);
}

void ReadSetting(const wchar_t* key, const std::wstring& iniPath, std::wstring& value) {
  ReadValue(L"Setting", key, iniPath, value);
}

bool ResolveMessageMode(CTobrinDlg& dlg) {
  if (IsSilentCommandLine(theApp.m_strCmdLine) || IsSilentSwitchOn()) return true;

  const std::wstring iniPath = dlg.m_strExtractFolder + L"MessageSetting.ini";
  std::wstring text;
  ReadSetting(L"IsShowMessageBox", iniPath, text);
  if (text != L"1") {
    dlg.m_bShowMessageBox = false;
    return false;
  }
  dlg.m_bShowMessageBox = true;
  ReadSetting(L"IsOk", iniPath, text);  // an absent key keeps the "1"
  dlg.m_bIsOk = text == L"1";
  return true;
}

}  // namespace nsTobrin
