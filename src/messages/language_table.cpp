#include "messages/language_table.h"

namespace nsTobrin {

namespace {

// Spanish (Spain, traditional sort) looks its button texts up under its own
// id, where the string table holds nothing; the Spanish texts are stored
// under Spanish (modern sort), 0x0C0A, which the lookup rule does not reach
// from 0x040A. This row alone therefore names 0x0C0A as its spare language.
// The modern-sort id itself has no row of its own and takes the English row.
constexpr LanguageRow kRows[] = {
    {0x0404, MessageLanguage::CHT, 0x0404, 0},       // Chinese (Taiwan)
    {0x0407, MessageLanguage::DEU, 0x0407, 0},       // German (Germany)
    {0x040A, MessageLanguage::ESP, 0x040A, 0x0C0A},  // Spanish (Spain, traditional sort)
    {0x040C, MessageLanguage::FRA, 0x040C, 0},       // French (France)
    {0x0410, MessageLanguage::ITA, 0x0410, 0},       // Italian (Italy)
    {0x0411, MessageLanguage::JPN, 0x0411, 0},       // Japanese
    {0x0412, MessageLanguage::KOR, 0x0412, 0},       // Korean
    {0x0413, MessageLanguage::NLD, 0x0413, 0},       // Dutch (Netherlands)
    {0x0419, MessageLanguage::RUS, 0x0419, 0},       // Russian
    {0x0804, MessageLanguage::CHS, 0x0804, 0},       // Chinese (PRC)
};
constexpr LanguageRow kEnglishRow = {0, MessageLanguage::ENG, 0x0409, 0};  // every other id

}  // namespace

const LanguageRow& ChooseLanguageRow(LANGID uiLanguage) {
  for (const LanguageRow& row : kRows) {
    if (row.uiLanguage == uiLanguage) return row;
  }
  return kEnglishRow;
}

std::wstring CataloguePath(const LanguageRow& row) {
  return std::wstring(L"MessageInfo/") + reinterpret_cast<const wchar_t*>(MessageLanguageCode(row.language).utf16);
}

}  // namespace nsTobrin
