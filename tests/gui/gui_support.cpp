#include "gui/gui_support.h"

#include <oleacc.h>
#include <wrl/client.h>

namespace gui_support {

std::wstring UniqueCaption(const wchar_t* hint) {
  static unsigned counter = 0;
  return std::wstring(L"Tobrin test ") + hint + L" " + std::to_wstring(GetCurrentProcessId()) + L"." +
         std::to_wstring(++counter);
}

HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowW(L"#32770", caption.c_str());
    if (window && IsWindowVisible(window)) return window;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(20);
  }
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[1024] = {};
  GetWindowTextW(window, buffer, 1024);
  return buffer;
}

RECT ControlRect(HWND dialog, int id) {
  RECT rect = {};
  GetWindowRect(GetDlgItem(dialog, id), &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

COLORREF ClientPixel(HWND window, int x, int y) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  HDC dc = GetDC(window);
  const COLORREF color = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return color;
}

HWND FocusedWindow(HWND window) {
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof(thread);
  GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
  return thread.hwndFocus;
}

std::wstring AccessibleName(HWND window) {
  // Loaded here: the tests link the system's GUID library, which defines
  // the accessibility interface's identifier as oleacc's import library does.
  using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
  static const auto fromWindow = reinterpret_cast<FromWindow>(
      reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"oleacc.dll"), "AccessibleObjectFromWindow")));
  Microsoft::WRL::ComPtr<IAccessible> object;
  if (!fromWindow || FAILED(fromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                       reinterpret_cast<void**>(object.GetAddressOf()))))
    return L"(no accessible object)";
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (object->get_accName(self, &name) != S_OK || !name) return L"(none)";
  std::wstring text(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

ModalJob::ModalJob(std::wstring caption, std::function<INT_PTR()> job) : m_caption(std::move(caption)) {
  m_thread = std::thread([this, job = std::move(job)] {
    m_nResult = job();
    m_bDone = true;
  });
}

ModalJob::~ModalJob() {
  while (!m_bDone) {
    if (HWND window = FindWindowW(L"#32770", m_caption.c_str())) PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(20);
  }
  if (m_thread.joinable()) m_thread.join();
}

INT_PTR ModalJob::Result() {
  if (m_thread.joinable()) m_thread.join();
  return m_nResult;
}

}  // namespace gui_support
