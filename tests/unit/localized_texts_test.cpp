// The language table, the string lookup over the program's own string table
// and the reading of the message catalogue.
#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "messages/language_table.h"
#include "messages/localized_message.h"
#include "messages/string_lookup.h"
#include "res/resource.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using testing_support::OwnFolder;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

// A catalogue with a message for some languages, each naming its code.
const char kCatalogue[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<MessageInfo><DEU>msg DEU</DEU><ENG>msg ENG</ENG><ESP>msg ESP</ESP>"
    "<ITA>msg ITA</ITA><JPN>\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF</JPN></MessageInfo>";

// The user's language picks a row by its exact sixteen bits; the row's
// buttons come from the string table's entry for the row's text language.
struct LanguageCase {
  LANGID uiLanguage;
  const wchar_t* message;
  const wchar_t* cancel;
};

const LanguageCase kLanguageCases[] = {
    {0x0409, L"msg ENG", L"Cancel"},
    // Modern-sort Spanish has no row: English, although the table holds
    // Spanish texts under that very id.
    {0x0C0A, L"msg ENG", L"Cancel"},
    // Traditional-sort Spanish finds the Spanish texts stored under 0x0C0A.
    {0x040A, L"msg ESP", L"Cancelar"},
    {0x0410, L"msg ITA", L"Annulla"},  // from the neutral 0x0010
    {0x0411, L"こんにちは", L"キャンセル"},
    // Only the exact id picks a row: Swiss German reads the English message.
    {0x0807, L"msg ENG", L"Cancel"},
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
  reinterpret_cast<std::vector<LANGID>*>(param)->push_back(language);
  return TRUE;
}

class LocalizedTextsTest : public ::testing::Test {
 protected:
  // The path the message step builds: the folder with its trailing
  // backslash, another backslash, the file name.
  std::wstring CataloguePathFor(const std::string& content) {
    EXPECT_TRUE(WriteBytes(m_folder / L"MessageInfo.xml", content));
    return m_folder.Path() + L"\\\\MessageInfo.xml";
  }

  TempFolder m_folder{L"msg"};
};

TEST_F(LocalizedTextsTest, EachUserLanguageGetsItsRowAndButtonTexts) {
  const std::wstring path = CataloguePathFor(kCatalogue);
  for (const LanguageCase& c : kLanguageCases) {
    SCOPED_TRACE(testing::Message() << std::hex << "UI language 0x" << c.uiLanguage);
    const LocalizedTexts texts = ReadLocalizedTexts(path, c.uiLanguage);
    EXPECT_EQ(texts.strMessage, c.message);
    EXPECT_EQ(texts.strCancelText, c.cancel);
  }
}

TEST(LanguageTable, EachLanguageReadsItsOwnCatalogueElement) {
  std::wstring codes;
  for (LANGID id : {0x0404, 0x0407, 0x040A, 0x040C, 0x0410, 0x0411, 0x0412, 0x0413, 0x0419, 0x0804, 0x0409})
    codes += CataloguePath(ChooseLanguageRow(id)) + L" ";
  EXPECT_EQ(codes, L"MessageInfo/CHT MessageInfo/DEU MessageInfo/ESP MessageInfo/FRA MessageInfo/ITA MessageInfo/JPN "
                   L"MessageInfo/KOR MessageInfo/NLD MessageInfo/RUS MessageInfo/CHS MessageInfo/ENG ");
}

TEST_F(LocalizedTextsTest, ButtonTextsOnlyFromACatalogueThatLoads) {
  struct Case {
    std::string content;
    const wchar_t *ok, *cancel;
  } const cases[] = {
      // Not well-formed (a missing file is the message step's window test).
      {"<MessageInfo><ENG>broken</MessageInfo>", L"", L""},
      // A namespace the component cannot bind: its failure is handled like
      // a catalogue that does not load.
      {"<MessageInfo xmlns=\"urn:it's a b\"><ENG>x</ENG></MessageInfo>", L"", L""},
      {"<MessageInfo><DEU>nur</DEU></MessageInfo>", L"OK", L"Cancel"},  // loaded, without the row
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    const LocalizedTexts texts = ReadLocalizedTexts(CataloguePathFor(c.content), 0x0409);
    EXPECT_EQ(texts.strMessage, L"");
    EXPECT_EQ(texts.strOkText, c.ok);
    EXPECT_EQ(texts.strCancelText, c.cancel);
  }
}

TEST_F(LocalizedTextsTest, MessageIsTheElementsWholeText) {
  const std::wstring path = CataloguePathFor(
      "<MessageInfo xmlns=\"urn:tobrin\"><ENG xmlns=\"\">Line one\nTom &amp; Jerry<b>bold</b></ENG>"
      "<ENG xmlns=\"\">second</ENG></MessageInfo>");
  EXPECT_EQ(ReadLocalizedTexts(path, 0x0409).strMessage, L"Line one\nTom & Jerrybold");
}

TEST_F(LocalizedTextsTest, LeavesTheThreadsComStateAsItFoundIt) {
  const std::wstring path = CataloguePathFor(kCatalogue);
  // A thread without COM: initialised for the read and uninitialised after,
  // so the next initialisation on the thread is the first again (S_OK).
  HRESULT after = E_FAIL;
  std::wstring message;
  std::thread([&] {
    message = ReadLocalizedTexts(path, 0x0409).strMessage;
    after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(after)) CoUninitialize();
  }).join();
  EXPECT_EQ(message, L"msg ENG");
  EXPECT_EQ(after, S_OK);

  // A thread already in the multithreaded apartment: the apartment-threaded
  // request answers RPC_E_CHANGED_MODE, the catalogue is read all the same,
  // and the thread's own initialisation is not undone.
  HRESULT stillThere = E_FAIL;
  std::thread([&] {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
    message = ReadLocalizedTexts(path, 0x0411).strMessage;
    stillThere = CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // S_FALSE while still initialised
    if (SUCCEEDED(stillThere)) CoUninitialize();
    CoUninitialize();
  }).join();
  EXPECT_EQ(message, L"こんにちは");
  EXPECT_EQ(stillThere, S_FALSE);
}

TEST(StringLookup, FallsBackOnlyToNeutralSublanguageAndNeutral) {
  HMODULE module = GetModuleHandleW(nullptr);
  std::wstring text = L"unchanged";
  // Swiss German: neither 0x0807 nor 0x0007 nor 0x0000 is stored.
  EXPECT_FALSE(LoadStringInLanguage(module, IDS_CANCEL_TEXT, 0x0807, text));
  EXPECT_EQ(text, L"unchanged");
  // Swiss Italian reaches the neutral Italian entry.
  EXPECT_TRUE(LoadStringInLanguage(module, IDS_CANCEL_TEXT, 0x0810, text));
  EXPECT_EQ(text, L"Annulla");
  // An id without an entry in a stored block counts as not found.
  text = L"unchanged";
  EXPECT_FALSE(LoadStringInLanguage(module, 103, 0x0409, text));
  EXPECT_EQ(text, L"unchanged");
  // No block at all.
  EXPECT_FALSE(LoadStringInLanguage(module, 4000, 0x0409, text));
}

TEST(StringLookup, ShippedRunnerStoresTheTextsAsUtf16) {
  // The runner's own string table, read from its file as data.
  const std::wstring runner = OwnFolder() + L"\\tobrin.exe";
  HMODULE module = LoadLibraryExW(runner.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(module) << "cannot read " << testing_support::Utf8(runner);
  for (const auto& entry : {std::make_pair(IDS_OK_TEXT, L"確定"), std::make_pair(IDS_CANCEL_TEXT, L"取消")}) {
    std::wstring text;
    EXPECT_TRUE(LoadStringInLanguage(module, entry.first, 0x0404, text));
    EXPECT_EQ(text, entry.second);
  }
  // Exactly the eleven languages of the table are stored.
  std::vector<LANGID> stored;
  EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(IDS_OK_TEXT / 16 + 1), CollectLanguage,
                         reinterpret_cast<LONG_PTR>(&stored));
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (std::vector<LANGID>{0x0010, 0x0013, 0x0404, 0x0407, 0x0409, 0x040C, 0x0411, 0x0412, 0x0419,
                                         0x0804, 0x0C0A}));
  FreeLibrary(module);
}

}  // namespace
