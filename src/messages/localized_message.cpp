// The message step of a run: the package's message in the user's interface
// language, shown in the program's own message box when the settings ask.
#include "messages/localized_message.h"

#include "app/tobrin_dlg.h"
#include "common/com_init.h"
#include "common/com_strings.h"
#include "common/xml_parser.h"
#include "contract/settings_contract.h"
#include "messages/language_table.h"
#include "messages/string_lookup.h"
#include "res/resource.h"
#include "ui/normal_message_box.h"

namespace nsTobrin {

namespace {

void LookUpButtonText(UINT id, const LanguageRow& row, std::wstring& text) {
  HMODULE module = GetModuleHandleW(nullptr);
  if (!LoadStringInLanguage(module, id, row.textLanguage, text) && row.spareTextLanguage)
    LoadStringInLanguage(module, id, row.spareTextLanguage, text);
}

std::wstring ElementText(IXMLDOMElement* element) {
  CBstr text;
  if (FAILED(element->get_text(text.Receive()))) return std::wstring();
  return BstrText(text);  // up to the first NUL character
}

}  // namespace

LocalizedTexts ReadLocalizedTexts(const std::wstring& cataloguePath, LANGID uiLanguage) {
  LocalizedTexts texts;
  const LanguageRow& row = ChooseLanguageRow(uiLanguage);
  const CComInitialization com(COINIT_APARTMENTTHREADED);
  if (!com.Usable()) return texts;
  try {
    // The parser and the element are released here, before COM is.
    nsCommon::CXMLParser parser;
    if (!parser.Load(cataloguePath.c_str())) return texts;
    const Microsoft::WRL::ComPtr<IXMLDOMElement> element = parser.SelectSingleElement(CataloguePath(row).c_str());
    LookUpButtonText(IDS_OK_TEXT, row, texts.strOkText);
    LookUpButtonText(IDS_CANCEL_TEXT, row, texts.strCancelText);
    if (element) texts.strMessage = ElementText(element.Get());
  } catch (const _com_error&) {
    // The component failed on this catalogue: treated as one that does not load.
    texts = LocalizedTexts();
  }
  return texts;
}

std::wstring DoubleAmpersands(const std::wstring& text) {
  std::wstring doubled;
  doubled.reserve(text.size());
  for (const wchar_t c : text) {
    doubled += c;
    if (c == L'&') doubled += L'&';
  }
  return doubled;
}

}  // namespace nsTobrin

bool CTobrinDlg::ShowLocalizedMessage() { return ShowLocalizedMessage(GetUserDefaultUILanguage()); }

bool CTobrinDlg::ShowLocalizedMessage(LANGID uiLanguage) {
  bool result = true;
  // No box, no catalogue: a run without one neither reads it nor starts COM.
  if (!m_bShowMessageBox) return result;
  // The folder ends with a backslash, so two stand together; the file
  // system reads them as one.
  const std::wstring cataloguePath = m_strExtractFolder + L"\\" + reinterpret_cast<const wchar_t*>(nsTobrin::kMessageInfoFile.utf16);
  const nsTobrin::LocalizedTexts texts = nsTobrin::ReadLocalizedTexts(cataloguePath, uiLanguage);
  const std::wstring message = nsTobrin::DoubleAmpersands(texts.strMessage);

  CNormalMessageBox box;
  if (m_bIsOk) {
    // A notice: whatever ends it, the payload starts.
    box.SetTexts(message.c_str(), m_strProductName.c_str(), texts.strOkText.c_str(), nullptr);
    box.DoModal();
  } else {
    box.SetTexts(message.c_str(), m_strProductName.c_str(), texts.strCancelText.c_str(), texts.strOkText.c_str());
    // A loop that ended before the box did (the system asked the program to
    // quit) is no answer, and no answer is no consent.
    const INT_PTR answer = box.DoModal();
    if (answer == IDNO || answer == IDCANCEL || answer == CDialog::kLoopEnded) result = false;
  }
  return result;
}
