// Start-up: the command line the program sees, the silent tests and the
// registration of installer-named copies.
#include <gtest/gtest.h>

#include "app/installer_name.h"
#include "framework/win_app.h"
#include "run/silent_mode.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using namespace testing_support;

TEST(Startup, CommandLineAfterTheProgramName) {
  EXPECT_STREQ(SkipProgramName(L"runner.exe -s"), L"-s");
  EXPECT_STREQ(SkipProgramName(L"\"C:\\my dir\\runner.exe\"   -s"), L"-s");
  EXPECT_STREQ(SkipProgramName(L"\"C:\\my dir\\runner.exe\"-s"), L"-s");
  EXPECT_STREQ(SkipProgramName(L"runner.exe"), L"");
  EXPECT_STREQ(SkipProgramName(L"runner.exe \t -s  "), L"-s  ");  // blanks at the end stay
  EXPECT_STREQ(SkipProgramName(L"\"unterminated name"), L"");
}

TEST(Startup, SilentCommandLines) {
  for (const wchar_t* silent : {L"-s", L"/s", L"-S", L"/S"}) EXPECT_TRUE(IsSilentCommandLine(silent)) << Utf8(silent);
  for (const wchar_t* other : {L"", L"-s ", L"-s /q", L"/silent", L"s", L"--s", L"\u017f"})
    EXPECT_FALSE(IsSilentCommandLine(other)) << Utf8(other);
}

TEST(Startup, InstallerNamesAreRegisteredUnderTheirFullPath) {
  for (const wchar_t* name : {L"C:\\Tools\\MySetup.exe", L"C:\\Tools\\INSTALL.EXE", L"D:\\reinstaller.exe", L"setup.exe",
                              L"C:\\x\\tool.setup"})
    EXPECT_TRUE(IsInstallerName(name)) << Utf8(name);
  for (const wchar_t* name : {L"C:\\setup\\tool.exe", L"C:\\install\\tool.exe", L"tool.exe"})
    EXPECT_FALSE(IsInstallerName(name)) << Utf8(name);

  const std::wstring key =
      L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant\\Persisted";
  const std::wstring path = L"C:\\Tools\\MySetup.exe";
  {
    RegistryValueGuard guard(HKEY_CURRENT_USER, key, path);  // makes the key if it is missing
    RegisterWithCompatibilityAssistant(path);
    DWORD type = 0, data = 0, size = sizeof(data);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, key.c_str(), path.c_str(), RRF_RT_ANY, &type, &data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 33u);
    // The name keeps its letter case.
    HKEY handle;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
    wchar_t name[256];
    bool found = false;
    for (DWORD i = 0, length = 256; RegEnumValueW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256)
      found |= std::wstring(name) == path;
    RegCloseKey(handle);
    EXPECT_TRUE(found);
  }

  // The key is opened, never created: a user's hive without it (an empty
  // key standing in for the hive) is left as it was.
  const wchar_t kEmptyHive[] = L"Software\\Tobrin test empty hive";
  HKEY hive;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kEmptyHive, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hive, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, hive), ERROR_SUCCESS);
  RegisterWithCompatibilityAssistant(path);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  DWORD subkeys = 1;
  EXPECT_EQ(RegQueryInfoKeyW(hive, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u);
  RegCloseKey(hive);
  RegDeleteTreeW(HKEY_CURRENT_USER, kEmptyHive);
}
