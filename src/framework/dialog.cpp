#include "framework/dialog.h"

namespace {

// Messages whose result a dialog procedure returns itself instead of
// storing it in DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
    default:
      return false;
  }
}

}  // namespace

INT_PTR CDialog::DoModal() {
  m_bEnded = false;
  m_nModalResult = -1;
  HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), nullptr, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  if (!window) return kNoWindow;
  if (!m_bEnded) ::ShowWindow(window, SW_SHOWNORMAL);

  MSG message;
  while (!m_bEnded) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {  // keep the quit request for the loop that owns it
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (!PreTranslateMessage(&message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  DestroyWindow(window);
  m_hWnd = nullptr;
  return m_bEnded ? m_nModalResult : kLoopEnded;
}

void CDialog::EndDialog(int result) {
  m_nModalResult = result;
  m_bEnded = true;
  if (m_hWnd) {
    ::ShowWindow(m_hWnd, SW_HIDE);
    PostMessage(WM_NULL);  // wake the modal loop
  }
}

BOOL CDialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* message) { return IsDialogMessageW(m_hWnd, message); }

void CDialog::CenterWindow() const {
  RECT window, area;
  GetWindowRect(m_hWnd, &window);
  HWND owner = GetWindow(m_hWnd, GW_OWNER);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int x = area.left + ((area.right - area.left) - width) / 2;
  const int y = area.top + ((area.bottom - area.top) - height) / 2;
  SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::SetClientSize(int width, int height) const {
  RECT window;
  GetWindowRect(m_hWnd, &window);
  WINDOWINFO info = {};
  info.cbSize = sizeof(info);
  GetWindowInfo(m_hWnd, &info);
  TITLEBARINFO title = {};
  title.cbSize = sizeof(title);
  GetTitleBarInfo(m_hWnd, &title);
  const int outerWidth = width + 2 * static_cast<int>(info.cxWindowBorders);
  const int outerHeight = height + 2 * static_cast<int>(info.cyWindowBorders) + (title.rcTitleBar.bottom - title.rcTitleBar.top);
  if (IsWindow(m_hWnd)) MoveWindow(window.left, window.top, outerWidth, outerHeight, TRUE);
}

bool CDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(LOWORD(wParam));
    result = 0;
    return true;
  }
  return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->m_hWnd = window;
    RECT before;
    GetWindowRect(window, &before);
    const BOOL focusDefault = self->OnInitDialog();
    // A dialog that did not place itself is centred, after it sized itself.
    RECT after;
    if (IsWindow(window) && GetWindowRect(window, &after) && after.left == before.left && after.top == before.top)
      self->CenterWindow();
    return focusDefault;
  }
  auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  LRESULT result = 0;
  if (!self->OnMessage(message, wParam, lParam, result)) return FALSE;
  if (ReturnsDirectly(message)) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}
