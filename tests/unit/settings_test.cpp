// The silent tests in the decision on silence and message, with real
// registry values. What the settings files hold, and the message box they
// ask for, is tested against the platform's own reader with the packer's
// (tests/pack/settings_parity_test.cpp).
#include <gtest/gtest.h>

#include "app/tobrin_app.h"
#include "app/tobrin_dlg.h"
#include "run/settings.h"
#include "run/silent_mode.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using namespace testing_support;

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
  // Every silent form, and every other one, is the start-up test's; what
  // the settings decide without one, the settings parity test's.
  theApp.m_strCmdLine = L"/S";
  EXPECT_TRUE(ResolveMessageMode(dlg));
  EXPECT_FALSE(dlg.m_bShowMessageBox);
  EXPECT_FALSE(dlg.m_bIsOk);
}

// What the switch does to a run, and its absence, are the end-to-end tests'.
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
}
