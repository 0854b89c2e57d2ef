#include "ui/normal_message_box.h"

#include <algorithm>

#include "messages/string_lookup.h"
#include "res/resource.h"
#include "ui/message_box_layout.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kFontPoints = 9;

SIZE MeasureText(HDC dc, const std::wstring& text) {
  SIZE size = {0, 0};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

void PlaceControl(HWND control, const nsTobrin::LayoutRect& rect) {
  MoveWindow(control, rect.x, rect.y, rect.cx, rect.cy, TRUE);
}

}  // namespace

CNormalMessageBox::CNormalMessageBox() : CDialog(IDD_MESSAGE_BOX) {
  const nsTobrin::WindowDeviceContext screen(nullptr);
  if (screen.Get()) {
    m_nDpiX = GetDeviceCaps(screen.Get(), LOGPIXELSX);
    m_nDpiY = GetDeviceCaps(screen.Get(), LOGPIXELSY);
  }
  m_brushWhite.Reset(CreateSolidBrush(kWhite));
}

CNormalMessageBox::~CNormalMessageBox() = default;

void CNormalMessageBox::SetTexts(const wchar_t* message, const wchar_t* caption, const wchar_t* rightButton,
                                 const wchar_t* leftButton) {
  m_strMessage = message ? message : L"";
  m_strCaption = caption ? caption : L"";
  m_strRightButton = rightButton ? rightButton : L"";
  m_strLeftButton = leftButton ? leftButton : L"";
}

void CNormalMessageBox::CreateFonts() {
  // The face comes from the string table in the user's interface language,
  // by the same explicit lookup as the button texts, so that every system
  // picks the same entry. Not found: an empty face, the system's default.
  std::wstring face;
  nsTobrin::LoadStringInLanguage(GetModuleHandleW(nullptr), IDS_FONT_FACE, GetUserDefaultUILanguage(), face);
  const nsTobrin::WindowDeviceContext dc(m_hWnd);
  const int height = -MulDiv(kFontPoints, GetDeviceCaps(dc.Get(), LOGPIXELSY), 72);
  for (auto* font : {&m_fontText, &m_fontButton}) {
    font->Reset(CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, face.c_str()));
  }
}

BOOL CNormalMessageBox::OnInitDialog() {
  CDialog::OnInitDialog();
  CreateFonts();

  const bool twoButtons = IsTwoButtonMode();
  const std::wstring& singleLabel = !m_strRightButton.empty() ? m_strRightButton : m_strLeftButton;
  const nsTobrin::CLayoutScale scale(m_nDpiX, m_nDpiY);
  nsTobrin::MessageBoxLayout layout;
  {
    // Text and labels are measured in the message's font on the box's own
    // device context, in the device's pixels at the screen's resolution.
    // Line feeds are not line breaks here; the static control wraps the
    // words itself.
    const nsTobrin::WindowDeviceContext dc(m_hWnd);
    const nsTobrin::SelectionScope selected(dc.Get(), m_fontText.Get());
    const SIZE extent = MeasureText(dc.Get(), m_strMessage);
    const int lineFeeds = static_cast<int>(std::count(m_strMessage.begin(), m_strMessage.end(), L'\n'));
    const int rightLabel = MeasureText(dc.Get(), twoButtons ? m_strRightButton : singleLabel).cx;
    const int leftLabel = twoButtons ? MeasureText(dc.Get(), m_strLeftButton).cx : 0;
    layout = nsTobrin::LayoutMessageBox(extent, lineFeeds, twoButtons, rightLabel, leftLabel, scale);
  }
  m_nTextWidth = layout.nTextWidth;
  m_nTextHeight = layout.nTextHeight;
  m_nClientWidth = layout.nClientWidth;
  m_nPanelHeight = layout.nPanelHeight;
  m_nButtonTop = layout.nButtonTop;
  const nsTobrin::MessageBoxPixels pixels = ScaleMessageBoxLayout(layout, scale);

  // The message, as the static control's own text, which a screen reader
  // reads. The caller has doubled every "&", which the control would
  // otherwise take for a mnemonic marker.
  HWND text = GetDlgItem(IDC_MESSAGE_TEXT);
  PlaceControl(text, pixels.text);
  ::SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontText.Get()), TRUE);
  SetWindowTextW(text, m_strMessage.c_str());

  ::ShowWindow(GetDlgItem(IDC_HIDDEN_CHECK), SW_HIDE);

  HWND right = GetDlgItem(IDC_RIGHT_BUTTON);
  HWND left = GetDlgItem(IDC_LEFT_BUTTON);
  PlaceControl(right, pixels.rightButton);
  SetWindowTextW(right, twoButtons ? m_strRightButton.c_str() : singleLabel.c_str());
  ::SendMessageW(right, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontButton.Get()), TRUE);
  if (twoButtons) {
    PlaceControl(left, pixels.leftButton);
    SetWindowTextW(left, m_strLeftButton.c_str());
    ::SendMessageW(left, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontButton.Get()), TRUE);
  } else {
    // The single button is the default one, so Enter presses it rather than
    // the hidden left button.
    ::ShowWindow(left, SW_HIDE);
    SendMessage(DM_SETDEFID, IDC_RIGHT_BUTTON);
  }

  // The outer size follows the client size; left and top stay, so the box
  // is still centred once it has its size.
  SetClientSize(pixels.nClientWidth, pixels.nClientHeight);
  SetWindowTextW(m_hWnd, m_strCaption.c_str());
  return TRUE;
}

BOOL CNormalMessageBox::PreTranslateMessage(MSG* message) {
  // Escape must not end the box: only its buttons and its close box do.
  if (message->message == WM_KEYDOWN && message->wParam == VK_ESCAPE) return TRUE;
  return CDialog::PreTranslateMessage(message);
}

void CNormalMessageBox::OnPaint() {
  const nsTobrin::PaintScope dc(m_hWnd);
  const nsTobrin::CLayoutScale scale(m_nDpiX, m_nDpiY);
  const RECT panel = {0, 0, scale.X(m_nClientWidth), scale.Y(m_nPanelHeight)};
  FillRect(dc.Get(), &panel, nsTobrin::ChoosePanelColors(nsTobrin::IsHighContrastOn(), m_brushWhite.Get()).brush);
}

bool CNormalMessageBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      if (LOWORD(wParam) == IDC_LEFT_BUTTON) {
        EndDialog(IDYES);
        return true;
      }
      if (LOWORD(wParam) == IDC_RIGHT_BUTTON) {
        EndDialog(IsTwoButtonMode() ? IDNO : IDOK);
        return true;
      }
      break;
    case WM_PAINT:
      OnPaint();
      return true;
    case WM_CTLCOLORSTATIC: {
      // The message sits on the panel: white, its text colour left as it is;
      // with high contrast on, in the user's window colours.
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_MESSAGE_TEXT) return false;
      const nsTobrin::PanelColors colors = nsTobrin::ChoosePanelColors(nsTobrin::IsHighContrastOn(), m_brushWhite.Get());
      const HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, colors.background);
      if (colors.text != CLR_INVALID) SetTextColor(dc, colors.text);
      result = reinterpret_cast<LRESULT>(colors.brush);
      return true;
    }
    case WM_HELP:
      result = TRUE;  // swallowed: the box has no help
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        EndDialog(IDCANCEL);
        return true;
      }
      return false;
    default:
      break;
  }
  return CDialog::OnMessage(message, wParam, lParam, result);
}
