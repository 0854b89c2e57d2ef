// The package's message in the user's language, with the button texts.
#pragma once

#include <windows.h>

#include <string>

namespace nsTobrin {

struct LocalizedTexts {
  std::wstring strMessage;  // as the catalogue holds it, ampersands not doubled
  std::wstring strOkText;
  std::wstring strCancelText;
};

// Reads the row of `uiLanguage` from the catalogue at `cataloguePath` and
// looks the button texts up in the row's language. A catalogue that is
// missing or does not load, a failure of the XML component and a COM that
// cannot be initialised all leave the three texts empty; the button texts
// are looked up only for a loaded catalogue. Initialises COM apartment-
// threaded for its own work and leaves the thread as it found it.
LocalizedTexts ReadLocalizedTexts(const std::wstring& cataloguePath, LANGID uiLanguage);

// Every "&" becomes "&&", so the message box's static text shows each one
// as written instead of taking it for a mnemonic marker.
std::wstring DoubleAmpersands(const std::wstring& text);

}  // namespace nsTobrin
