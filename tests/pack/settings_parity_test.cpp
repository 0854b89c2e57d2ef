// The package's settings as the platform reads them, and as the runner and
// the packer read them: the files the runner finds in its extraction folder
// and the packer in the folder it packs, the values GetPrivateProfileStringW
// returns (the default "Error" counting as absent, at most 127 code units),
// the message box they ask for, and whether the XML component (MSXML 3.0)
// loads a message catalogue at all. The names below are written out here,
// not taken from the programs, so that a program that reads another file,
// section or key than the one a vendor writes fails.
#include <windows.h>
#include <msxml2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tobrin_dlg.h"
#include "package_checks.h"
#include "run/settings.h"
#include "run/silent_mode.h"
#include "source_tree.h"
#include "text.h"
#include "xml_check.h"
#include "../format/package_bytes.h"
#include "catalogue_cases.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using namespace testing_support;

namespace {

// DOMDocument30 and its interface; MinGW has no import library for them.
constexpr CLSID kDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
constexpr IID kXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

std::wstring WideOf(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// What the platform's profile reader returns into a buffer of `size`
// characters, with "Error" for a missing file, section or key.
std::wstring ProfileValue(const std::wstring& path, const char* section, const char* key, DWORD size = 128) {
  std::vector<wchar_t> buffer(size);
  GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), L"Error", buffer.data(), size, path.c_str());
  return buffer.data();
}

using package_bytes::Utf16Le;

bool MsxmlLoads(const std::wstring& path) {
  IXMLDOMDocument* document = nullptr;
  if (FAILED(CoCreateInstance(kDomDocument30, nullptr, CLSCTX_INPROC_SERVER, kXmlDomDocument,
                              reinterpret_cast<void**>(&document))))
    return false;
  document->put_async(VARIANT_FALSE);
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(path.c_str());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  document->load(source, &loaded);
  VariantClear(&source);
  document->Release();
  return loaded == VARIANT_TRUE;
}

}  // namespace

TEST(SettingsParity, RunnerAndPackerReadWhatTheProfileReaderReturns) {
  std::string emoji;  // 64 characters beyond U+FFFF: 128 code units, one more than arrive
  for (int i = 0; i < 64; ++i) emoji += "\xF0\x9F\x98\x80";
  const std::vector<std::string> files = {
      "[ParamOption]\r\nExecuteFileName=setup.exe\r\nParamA=-a\r\n[Setting]\r\nIsShowMessageBox=1\r\n",
      "  [paramoption]  \r\n  EXECUTEFILENAME   =   setup.exe   \r\nExecuteFileName=second.exe\r\nParamA=\r\nParamB\r\n"
      "[setting]\r\n ISSHOWMESSAGEBOX = 1 \r\nIsOk=0\r\n",
      "ExecuteFileName=none.exe\r\n[ParamOption]\r\nParamA=Error\r\n[Setting]\r\nIsOk=1\r\nIsShowMessageBox=1\r\n"
      "[ParamOption]\r\nParamB=late\r\n",
      "[Setting]\r\nIsShowMessageBox=\"1\"\r\nIsOk='0\r\n[s]\r\nk='quoted'\r\nq=\"\"\r\n",
      "[ParamOption]\r\nParamA=Errors\r\nParamB=error\r\nProductName=" + std::string(200, 'v') +
          "\r\n[Setting]\r\nIsShowMessageBox=11\r\nIsOk=1\r\n",
      "[Setting]\nIsShowMessageBox=1\nIsOk=\n",
      "[Setting]\nIsShowMessageBox=1\nIsOk=Error\n",
      "[s]\nk=" + std::string(200, 'x') + "\nq=\"" + std::string(127, 'a') + "\"\n",
      "[s]\nk=\"" + std::string(126, 'b') + "\"\nq=\"" + std::string(128, 'c') + "\"\n",
      "\xEF\xBB\xBF[s]\nk=" + emoji + "\n",
      "[s]\rk=carriage\rq=returns\r",
      "[ParamOption]\rExecuteFileName=setup.exe\r\nParamA=-a\n",
      "[ParamOption]\r\nExecuteFileName=sub\\..\\payload.exe\rParamA=-a\r\n[s]\rk=v\r\n",
      "\xEF\xBB\xBF[ParamOption]\rExecuteFileName=setup.exe\rParamB=-b",
      "[s]\n[t\nk=v\n[a]b]\nq=w\n",
      "[s]\nk = a = b \nq=\t tabbed \t\n",
      "[s]\nk=Caf\xE9\n",
      "\xEF\xBB\xBF[ParamOption]\r\nExecuteFileName=\xE6\xBC\xA2\xE5\xAD\x97.exe\r\nProductName=Caf\xC3\xA9\r\n",
      Utf16Le(u"[ParamOption]\r\nExecuteFileName=\u30bb\u30c3\u30c8.exe\r\n[s]\r\nk=\U0001F600x\r\n", true),
      Utf16Le(u"[ParamOption]\r\nExecuteFileName=a.exe\r\n", false),
      "[ParamOption]\r\nExecuteFileName=x\x1A\r\n[s]\r\n;k=comment\r\nk=after\r\n",
      "",
  };
  const std::vector<std::pair<const char*, const char*>> keys = {
      {"ParamOption", "ExecuteFileName"}, {"ParamOption", "ParamA"}, {"PARAMOPTION", "paramb"}, {"ParamOption", "ProductName"},
      {"Setting", "IsShowMessageBox"},   {"Setting", "IsOk"},       {"s", "k"},                 {"s", "q"},
      {"a]b", "q"}};
  RegistryValueGuard silentSwitch(HKEY_LOCAL_MACHINE, kSilentSwitchKey, kSilentSwitchValue);
  silentSwitch.Delete();  // a silent run decides before the settings (the runner's unit tests)
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "file " << i);
    // A folder of its own for every case (the profile reader caches files by
    // name), its two files named in another letter case than the programs
    // ask for: Windows finds them all the same, and so must the packer.
    const TempFolder folder(L"parity");
    const std::wstring assistFile = folder / L"AssistFile.ini", runnerFolder = folder.Path() + L"\\";
    ASSERT_TRUE(WriteBytes(folder / L"assistfile.INI", files[i]) && WriteBytes(folder / L"MESSAGESETTING.ini", files[i]));

    // Any key: what the packer's reader returns, and that it knows when the
    // value was cut (a larger buffer gets more of it).
    const IniFile ini = IniFile::Parse(files[i]);
    for (const auto& [section, key] : keys) {
      SCOPED_TRACE(testing::Message() << "[" << section << "] " << key);
      const std::wstring platform = ProfileValue(assistFile, section, key);
      const auto mine = ini.Read(section, key);
      EXPECT_EQ(mine ? WideOf(mine->text) : L"Error", platform);
      if (mine) {
        EXPECT_EQ(mine->cut, ProfileValue(assistFile, section, key, 4096) != platform);
      }
      // The runner's readers of its two sections: "Error" leaves the value.
      const auto runnerRead = !_stricmp(section, "ParamOption") ? ReadParamOption
                              : !_stricmp(section, "Setting")   ? ReadSetting
                                                                : nullptr;
      if (!runnerRead) continue;
      std::wstring value = L"before";
      runnerRead(Wide(key).c_str(), assistFile, value);
      EXPECT_EQ(value, platform == L"Error" ? L"before" : platform);
    }

    // AssistFile.ini as each program reads it: the runner from its
    // extraction folder, the packer from the folder it packs.
    Findings findings;
    const PackageSettings packer = ReadSettings(ScanSourceFolder(folder.Path(), findings), findings);
    const struct {
      const char* key;
      const SettingKey& runner;
      const std::optional<IniValue>& packer;
    } values[] = {{"ExecuteFileName", kExecuteFileNameKey, packer.executeFileName},
                  {"ParamA", kParamAKey, packer.paramA},
                  {"ParamB", kParamBKey, packer.paramB},
                  {"ProductName", kProductNameKey, packer.productName}};
    for (const auto& v : values) {
      const std::wstring platform = ProfileValue(assistFile, "ParamOption", v.key);
      const std::wstring expected = platform == L"Error" ? L"before" : platform;
      std::wstring runner = L"before";
      ReadSettingKey(v.runner, runnerFolder, runner);
      EXPECT_EQ(runner, expected) << v.key;
      EXPECT_EQ(v.packer ? WideOf(v.packer->text) : L"before", expected) << v.key;
    }

    // MessageSetting.ini: a box when IsShowMessageBox is exactly "1"; then
    // one button when IsOk is "1" or absent, two otherwise.
    const std::wstring settings = folder / L"MessageSetting.ini";
    const std::wstring isOk = ProfileValue(settings, "Setting", "IsOk");
    const bool box = ProfileValue(settings, "Setting", "IsShowMessageBox") == L"1";
    const bool oneButton = box && (isOk == L"1" || isOk == L"Error");
    CTobrinDlg dlg;
    dlg.m_strExtractFolder = runnerFolder;
    EXPECT_EQ(ResolveMessageMode(dlg), box);
    EXPECT_EQ(dlg.m_bShowMessageBox, box);
    EXPECT_EQ(dlg.m_bIsOk, oneButton);
    EXPECT_EQ(packer.showMessageBox, box);
    EXPECT_EQ(packer.showMessageBox && packer.oneButton, oneButton);
  }
}

TEST(SettingsParity, CataloguesAreWellFormedExactlyWhenTheXmlComponentLoadsThem) {
  // The component itself, and the packer's reading through the runner's
  // reader, each against the table the Linux packer's reading meets too.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  for (const auto& [document, wellFormed, rareEncoding] : catalogue_cases::WellFormedness()) {
    const TempFolder folder(L"parity");
    ASSERT_TRUE(WriteBytes(folder / L"MessageInfo.xml", document));
    const bool loads = MsxmlLoads(folder / L"MessageInfo.xml");
    if (!rareEncoding) {
      EXPECT_EQ(loads, wellFormed) << document;
    }
    EXPECT_EQ(CheckXml(document).wellFormed, loads) << document;
  }
  CoUninitialize();
}
