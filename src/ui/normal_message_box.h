// The program's own modal message box: the message on a white panel (in the
// user's window colours when high contrast is on), one or two right-aligned
// buttons on the strip below, the font named by the string table, every
// length scaled to the screen's resolution.
//
// Two-button mode (both button texts given): the left button (1000) ends it
// with IDYES, the right one (1001) with IDNO. One-button mode: control 1001
// shows the right text, else the left one, and ends it with IDOK. The first
// visible button has the focus, so Enter presses it. Closing the box ends it
// with IDCANCEL; Escape and F1 do nothing.
#pragma once

#include <string>

#include "common/device_context.h"
#include "common/win_owners.h"
#include "framework/dialog.h"

class CNormalMessageBox : public CDialog {
 public:
  CNormalMessageBox();
  ~CNormalMessageBox() override;

  // A null text counts as empty. Called once, before DoModal.
  void SetTexts(const wchar_t* message, const wchar_t* caption, const wchar_t* rightButton,
                const wchar_t* leftButton);

 protected:
  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* message) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  bool IsTwoButtonMode() const { return !m_strRightButton.empty() && !m_strLeftButton.empty(); }
  void CreateFonts();
  void OnPaint();

  int m_nTextHeight = 0;
  int m_nTextWidth = 0;
  int m_nClientWidth = 0;
  int m_nPanelHeight = 0;
  int m_nButtonTop = 0;
  std::wstring m_strMessage;
  std::wstring m_strCaption;
  std::wstring m_strRightButton;
  std::wstring m_strLeftButton;
  nsTobrin::FontObject m_fontText;
  nsTobrin::FontObject m_fontButton;
  nsTobrin::BrushObject m_brushWhite;  // deleted first, then the fonts
  int m_nDpiX = 96;
  int m_nDpiY = 96;
};
