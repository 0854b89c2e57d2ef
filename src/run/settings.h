// The package's two settings files and the decision on silence and message.
#pragma once

#include <string>

class CTobrinDlg;

namespace nsTobrin {

struct SettingKey;

// Reads a key of section "ParamOption" (AssistFile.ini) or "Setting"
// (MessageSetting.ini). A real value (at most 127 characters) replaces
// `value`, even an empty one; a missing file, section or key, or the value
// "Error", leaves `value` as it was.
void ReadParamOption(const wchar_t* key, const std::wstring& iniPath, std::wstring& value);
void ReadSetting(const wchar_t* key, const std::wstring& iniPath, std::wstring& value);
// The same for a key of the settings contract, in its file in `extractFolder`.
void ReadSettingKey(const SettingKey& key, const std::wstring& extractFolder, std::wstring& value);

// True when the run is silent (the flags stay false) or when a message box
// is to be shown; then sets m_bShowMessageBox and m_bIsOk. Reads the command
// line that start-up captured in theApp.
bool ResolveMessageMode(CTobrinDlg& dlg);

}  // namespace nsTobrin
