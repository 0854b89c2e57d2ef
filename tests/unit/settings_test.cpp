// The package's settings files and the decision on silence and message,
// with real INI files and real registry values.
#include <gtest/gtest.h>

#include "app/tobrin_app.h"
#include "app/tobrin_dlg.h"
#include "run/settings.h"
#include "run/silent_mode.h"
#include "format/package_bytes.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using namespace testing_support;

TEST(Settings, ValuesComeFromRealIniFiles) {
  TempFolder folder(L"ini");
  const std::wstring ansi = folder / L"AssistFile.ini";
  const std::string longValue(200, 'v');
  ASSERT_TRUE(WriteBytes(ansi, "[paramoption]\r\nEXECUTEFILENAME=setup.exe\r\nParamA=\r\nParamB=Error\r\n"
                               "ProductName=" + longValue + "\r\nOther=Errors\r\n[Setting]\r\nIsOk=1\r\n"));
  const std::wstring unicode = folder / L"unicode.ini", missing = folder / L"missing.ini";
  ASSERT_TRUE(WriteBytes(unicode, package_bytes::Utf16Le(L"[ParamOption]\r\nProductName=\u65e5\u672c\u8a9e \u0416\r\n")));
  struct Case {
    decltype(&ReadParamOption) read;
    const wchar_t* key;
    const std::wstring& file;
    std::wstring expected;  // "before": left as it was
  } const cases[] = {
      {ReadParamOption, L"ExecuteFileName", ansi, L"setup.exe"},  // section and key in any case
      {ReadParamOption, L"ParamA", ansi, L""},                    // present and empty: clears
      {ReadParamOption, L"ParamB", ansi, L"before"},              // "Error" counts as absent
      {ReadParamOption, L"Other", ansi, L"Errors"},               // longer than "Error" is a value
      {ReadParamOption, L"ProductName", ansi, std::wstring(127, L'v')},
      {ReadParamOption, L"IsOk", ansi, L"before"},  // the other section's key
      {ReadSetting, L"IsOk", ansi, L"1"},
      {ReadSetting, L"IsOk", missing, L"before"},
      {ReadParamOption, L"ProductName", unicode, L"\u65e5\u672c\u8a9e \u0416"},
  };
  for (const Case& c : cases) {
    std::wstring value = L"before";
    c.read(c.key, c.file, value);
    EXPECT_EQ(value, c.expected) << Utf8(c.key);
  }
}

class MessageMode : public ::testing::Test {
 protected:
  void SetUp() override {
    theApp.m_strCmdLine.clear();
    silentSwitch.Delete();
    dlg.m_strExtractFolder = folder.Path() + L"\\";
  }
  void WriteSettings(const std::string& lines) {
    ASSERT_TRUE(WriteBytes(folder / L"MessageSetting.ini", "[Setting]\r\n" + lines));
  }
  TempFolder folder{L"mode"};
  RegistryValueGuard silentSwitch{HKEY_LOCAL_MACHINE, kSilentSwitchKey, kSilentSwitchValue};
  CTobrinDlg dlg;
};

TEST_F(MessageMode, SilentCommandLineWinsOverEverything) {
  WriteSettings("IsShowMessageBox=1\r\n");
  theApp.m_strCmdLine = L"/S";  // every silent form is the start-up test's
  EXPECT_TRUE(ResolveMessageMode(dlg));
  EXPECT_FALSE(dlg.m_bShowMessageBox);
  EXPECT_FALSE(dlg.m_bIsOk);
  // "-s /q" is not silent: the settings decide.
  theApp.m_strCmdLine = L"-s /q";
  EXPECT_TRUE(ResolveMessageMode(dlg));
  EXPECT_TRUE(dlg.m_bShowMessageBox);
}

// What a silent switch does to a run is the end-to-end test's.
TEST_F(MessageMode, TheRegistrySwitchReadsAs32BitOne) {
  struct Case {
    const char* what;
    DWORD type;
    std::string data;
    bool silent;
  };
  const Case cases[] = {
      {"DWORD 1", REG_DWORD, std::string("\1\0\0\0", 4), true},
      {"binary 01 00 00 00", REG_BINARY, std::string("\1\0\0\0", 4), true},
      {"DWORD 0", REG_DWORD, std::string("\0\0\0\0", 4), false},
      {"DWORD 2", REG_DWORD, std::string("\2\0\0\0", 4), false},
      {"the text 1", REG_SZ, std::string("1\0\0\0", 4), false},
      {"a text longer than 4 bytes", REG_SZ, std::string("1\0\0\0\0\0", 6), false},
  };
  for (const Case& c : cases) {
    silentSwitch.Set(c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    EXPECT_EQ(IsSilentSwitchOn(), c.silent) << c.what;
  }
  silentSwitch.Delete();
  EXPECT_FALSE(IsSilentSwitchOn());
}

TEST_F(MessageMode, MessageSettingDecidesTheBox) {
  struct Case {
    const char* settings;
    bool result, show, ok;
  };
  const Case cases[] = {
      {"IsShowMessageBox=1\r\nIsOk=1\r\n", true, true, true},
      {"IsShowMessageBox=1\r\n", true, true, true},  // no IsOk: one button
      {"IsShowMessageBox=1\r\nIsOk=0\r\n", true, true, false},
      {"IsShowMessageBox=1\r\nIsOk=\r\n", true, true, false},
      {"IsShowMessageBox=11\r\nIsOk=1\r\n", false, false, false},
      {"", false, false, false},  // as without the file: the same profile read
  };
  for (const Case& c : cases) {
    WriteSettings(c.settings);
    CTobrinDlg fresh;
    fresh.m_strExtractFolder = dlg.m_strExtractFolder;
    EXPECT_EQ(ResolveMessageMode(fresh), c.result) << c.settings;
    EXPECT_EQ(fresh.m_bShowMessageBox, c.show) << c.settings;
    EXPECT_EQ(fresh.m_bIsOk, c.ok) << c.settings;
  }
}
