// The progress window of an interactive run and its extraction worker.
#include "app/tobrin_dlg.h"
#include "common/device_context.h"
#include "extract/extract_package.h"
#include "framework/thread.h"
#include "res/resource.h"
#include "ui/window_layout.h"

namespace {
constexpr int kTextId = -1;  // the static text has no id of its own
constexpr UINT_PTR kStepTimerId = 4;
}  // namespace

void CTobrinDlg::DoDataExchange() { DDX_Control(IDC_PROGRESS, m_progress); }

BOOL CTobrinDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  GetSystemMenu(m_hWnd, FALSE);  // the standard entries only; no About entry
  if (!m_hIcon) m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  // The fixed layout, scaled to the screen's resolution: the program is
  // aware of it, so Windows does not stretch the window, and the dialog's
  // font already has the resolution's size.
  nsTobrin::ProgressWindowPixels pixels;
  {
    const nsTobrin::WindowDeviceContext dc(m_hWnd);
    pixels = nsTobrin::LayoutProgressWindow(
        nsTobrin::CLayoutScale(GetDeviceCaps(dc.Get(), LOGPIXELSX), GetDeviceCaps(dc.Get(), LOGPIXELSY)));
  }
  SetClientSize(pixels.nClientWidth, pixels.nClientHeight);
  CenterWindow();

  const nsTobrin::LayoutRect& bar = pixels.bar;
  m_progress.MoveWindow(bar.x, bar.y, bar.cx, bar.cy, TRUE);
  if (HWND text = GetDlgItem(kTextId)) {
    ::MoveWindow(text, pixels.text.x, pixels.text.y, pixels.text.cx, pixels.text.cy, TRUE);
    // The bar is named by the text before it; it also carries that text as
    // its own (it draws none), which is where a screen reader that reads no
    // labels finds its name.
    wchar_t label[64] = {};
    GetWindowTextW(text, label, 64);
    SetWindowTextW(m_progress.m_hWnd, label);
  }
  m_progress.ShowWindow(SW_SHOW);
  m_progress.SetRange32(0, 1000);
  m_progress.SetStep(1);

  m_hWorkerReportWindow = m_hWnd;
  m_bWorkerRunning = AfxBeginThread(ExtractionThreadProc, this, &m_worker);
  if (!m_bWorkerRunning) {
    m_nExitCode = ERROR_NOT_ENOUGH_MEMORY;
    EndDialog(IDABORT);
  }
  return TRUE;
}

UINT __stdcall CTobrinDlg::ExtractionThreadProc(LPVOID param) {
  auto* dlg = static_cast<CTobrinDlg*>(param);
  const HWND window = dlg->m_hWorkerReportWindow;
  nsTobrin::ExtractPackage(*dlg, true);
  // The full bar stays on screen for a second, unless the user asked to stop
  // or the window is gone.
  if (!dlg->m_bCancelRequested.load() && IsWindow(window)) Sleep(1000);
  ::PostMessageW(window, WM_EXTRACTION_DONE, 0, 0);
  return 0;
}

void CTobrinDlg::WaitForWorker() {
  if (!m_worker.Valid()) return;
  const HANDLE worker = m_worker.Get();
  // Progress steps the worker still sends to this thread are handled
  // meanwhile, or it would wait for this thread as this one waits for it.
  while (MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  m_worker.Reset();
}

void CTobrinDlg::OnTimer(UINT_PTR timerId) {
  if (timerId == kStepTimerId) m_progress.StepIt();
}

void CTobrinDlg::OnPaint() {
  const nsTobrin::PaintScope paint(m_hWnd);
  const HDC dc = paint.Get();
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON), iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client;
  GetClientRect(m_hWnd, &client);
  DrawIcon(dc, (client.right - client.left - iconWidth + 1) / 2, (client.bottom - client.top - iconHeight + 1) / 2,
           m_hIcon);
}

bool CTobrinDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_SYSCOMMAND:
      // 0x0010 would be an About entry; there is none to show.
      return (wParam & 0xFFF0) == 0x0010;
    case WM_PAINT:
      if (!IsIconic(m_hWnd)) return false;
      OnPaint();
      return true;
    case WM_QUERYDRAGICON:
      result = reinterpret_cast<LRESULT>(m_hIcon);
      return true;
    case WM_TIMER:
      OnTimer(wParam);
      return false;  // the default processing follows for every timer
    case WM_EXTRACTION_DONE:
      m_bWorkerRunning = false;
      EndDialog(m_bCancelRequested.load() ? IDCANCEL : IDOK);
      result = 0;
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        // Closing early cancels the run. The window goes at once; the dialog
        // ends only when the worker has stopped and posted its message.
        if (m_bWorkerRunning && !m_bCancelRequested.exchange(true)) ShowWindow(SW_HIDE);
        return true;
      }
      return LOWORD(wParam) == IDOK;  // Enter does nothing
    default:
      return CDialog::OnMessage(message, wParam, lParam, result);
  }
}
