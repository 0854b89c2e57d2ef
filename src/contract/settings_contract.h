// The package's settings as the runner reads them: the files, sections and
// keys, what counts as an absent value, the longest value, and the decision
// on the message box. The runner reads the files with its platform's profile
// reader (GetPrivateProfileStringW); the packer reads them with its own
// reader made to match it (tools/pack/ini_file.h). Both take the names and
// the rules from here.
#pragma once

#include <cstddef>

#include "contract/ascii_name.h"

namespace nsTobrin {

// The settings files, beside the root group's files in the extraction folder.
inline constexpr AsciiName kAssistFile = TOBRIN_ASCII_NAME("AssistFile.ini");
inline constexpr AsciiName kMessageSettingFile = TOBRIN_ASCII_NAME("MessageSetting.ini");
inline constexpr AsciiName kMessageInfoFile = TOBRIN_ASCII_NAME("MessageInfo.xml");

// The section of AssistFile.ini and the section of MessageSetting.ini.
inline constexpr AsciiName kParamOptionSection = TOBRIN_ASCII_NAME("ParamOption");
inline constexpr AsciiName kSettingSection = TOBRIN_ASCII_NAME("Setting");

struct SettingKey {
  const AsciiName& file;
  const AsciiName& section;
  AsciiName key;
};

inline constexpr SettingKey kExecuteFileNameKey{kAssistFile, kParamOptionSection, TOBRIN_ASCII_NAME("ExecuteFileName")};
inline constexpr SettingKey kParamAKey{kAssistFile, kParamOptionSection, TOBRIN_ASCII_NAME("ParamA")};
inline constexpr SettingKey kParamBKey{kAssistFile, kParamOptionSection, TOBRIN_ASCII_NAME("ParamB")};
inline constexpr SettingKey kProductNameKey{kAssistFile, kParamOptionSection, TOBRIN_ASCII_NAME("ProductName")};
inline constexpr SettingKey kIsShowMessageBoxKey{kMessageSettingFile, kSettingSection,
                                                 TOBRIN_ASCII_NAME("IsShowMessageBox")};
inline constexpr SettingKey kIsOkKey{kMessageSettingFile, kSettingSection, TOBRIN_ASCII_NAME("IsOk")};

// The default the runner reads with: a value of exactly this text cannot be
// told from a missing file, section or key, so it counts as absent.
inline constexpr AsciiName kAbsentValue = TOBRIN_ASCII_NAME("Error");

// The longest value that arrives, in UTF-16 code units; the runner's buffer
// holds it and its terminator.
inline constexpr std::size_t kSettingValueLimit = 127;
inline constexpr std::size_t kSettingBufferSize = kSettingValueLimit + 1;

// True for a value that counts as absent (nullptr: none was read).
bool IsAbsentSettingValue(const char16_t* value);

// The message box MessageSetting.ini asks for: shown when IsShowMessageBox
// is "1" (IsOk is then read); with one button (OK) when IsOk is "1" or
// absent, with OK and Cancel otherwise. A null value is an absent key.
bool ShowsMessageBox(const char16_t* isShowMessageBox);
bool HasOneButton(const char16_t* isOk);

}  // namespace nsTobrin
