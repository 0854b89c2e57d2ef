// The packer's readers of the settings files agree with what the runner's
// platform reads: the values GetPrivateProfileStringW returns, and whether
// the XML component (MSXML 3.0) loads a message catalogue at all.
#include <windows.h>
#include <msxml2.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ini_file.h"
#include "text.h"
#include "xml_check.h"
#include "../format/package_bytes.h"
#include "catalogue_cases.h"

using namespace nsTobrin;

namespace {

// DOMDocument30 and its interface; MinGW has no import library for them.
constexpr CLSID kDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
constexpr IID kXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// A file of its own name for every case: the profile reader caches by name.
class CaseFile {
 public:
  explicit CaseFile(const std::string& bytes, const wchar_t* extension) {
    static unsigned counter = 0;
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    m_path = std::wstring(temp) + L"tobrin-parity-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter) + extension;
    HANDLE file = CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  ~CaseFile() { DeleteFileW(m_path.c_str()); }
  const std::wstring& Path() const { return m_path; }

 private:
  std::wstring m_path;
};

std::wstring Wide(const char* ascii) {
  std::wstring out;
  for (; *ascii; ++ascii) out.push_back(static_cast<unsigned char>(*ascii));
  return out;
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

TEST(SettingsParity, IniValuesAreTheOnesTheProfileReaderReturns) {
  const std::vector<std::string> files = {
      "[ParamOption]\r\nExecuteFileName=setup.exe\r\nParamA=-a\r\n",
      "  [paramoption]  \r\n  EXECUTEFILENAME   =   setup.exe   \r\nExecuteFileName=second.exe\r\nParamA=\r\nParamB\r\n",
      "ExecuteFileName=none.exe\r\n[ParamOption]\r\nParamA=Error\r\n[Setting]\r\nIsOk=1\r\n[ParamOption]\r\nParamB=late\r\n",
      "[Setting]\r\nIsShowMessageBox=\"1\"\r\nIsOk='0\r\n[s]\r\nk='quoted'\r\nq=\"\"\r\n",
      "[s]\nk=" + std::string(200, 'x') + "\nq=\"" + std::string(127, 'a') + "\"\n",
      "[s]\nk=\"" + std::string(126, 'b') + "\"\nq=\"" + std::string(128, 'c') + "\"\n",
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
      {"a]b", "q"},                      {"", "ExecuteFileName"}};
  for (std::size_t i = 0; i < files.size(); ++i) {
    const CaseFile file(files[i], L".ini");
    const IniFile ini = IniFile::Parse(files[i]);
    for (const auto& key : keys) {
      if (!*key.first) continue;  // GetPrivateProfileStringW lists sections for an empty name
      wchar_t buffer[128] = {};
      GetPrivateProfileStringW(Wide(key.first).c_str(), Wide(key.second).c_str(), L"Error", buffer, 128,
                               file.Path().c_str());
      const std::wstring platform = buffer;
      const auto mine = ini.Read(key.first, key.second);
      const std::wstring packer = mine ? std::wstring(mine->text.begin(), mine->text.end()) : L"Error";
      EXPECT_EQ(packer, platform) << "file " << i << ", [" << key.first << "] " << key.second;
    }
  }
}

TEST(SettingsParity, CataloguesAreWellFormedExactlyWhenTheXmlComponentLoadsThem) {
  // The component itself, and the packer's reading through the runner's
  // reader, each against the table the Linux packer's reading meets too.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  for (const auto& [document, wellFormed, rareEncoding] : catalogue_cases::WellFormedness()) {
    const CaseFile file(document, L".xml");
    const bool loads = MsxmlLoads(file.Path());
    if (!rareEncoding) EXPECT_EQ(loads, wellFormed) << document;
    EXPECT_EQ(CheckXml(document).wellFormed, loads) << document;
  }
  CoUninitialize();
}
