// The user's interface language mapped to a row of the message catalogue
// and to the language of the button texts.
#pragma once

#include <windows.h>

#include <string>

#include "contract/message_languages.h"

namespace nsTobrin {

struct LanguageRow {
  LANGID uiLanguage;           // matched on all 16 bits; 0 in the fallback row
  MessageLanguage language;    // its element of the catalogue, e.g. ENG
  LANGID textLanguage;         // language of the button texts
  LANGID spareTextLanguage;    // looked in when textLanguage finds nothing; 0 for none
};

// The row of `uiLanguage`: the one with exactly that id, else the English row.
const LanguageRow& ChooseLanguageRow(LANGID uiLanguage);

// "MessageInfo/" followed by the code of the row's language.
std::wstring CataloguePath(const LanguageRow& row);

}  // namespace nsTobrin
