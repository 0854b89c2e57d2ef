// Helpers of the GUI tests: modal windows run on a thread of their own while
// the test drives them through window messages, as a user would.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace gui_support {

// A caption no other window of the session has.
std::wstring UniqueCaption(const wchar_t* hint);

// The visible top-level dialog with this caption, waiting for it to appear
// (at most `timeoutMs`); null when none appeared.
HWND WaitForDialog(const std::wstring& caption, DWORD timeoutMs = 30000);

std::wstring WindowText(HWND window);

// A control's rectangle in the client coordinates of its dialog.
RECT ControlRect(HWND dialog, int id);

// A pixel of the client area, with the window and its controls painted now.
COLORREF ClientPixel(HWND window, int x, int y);

// The control that has the keyboard focus in the thread of `window`.
HWND FocusedWindow(HWND window);

// What a screen reader reads for a window: its accessible object's name
// (MSAA), "(none)" when it has none.
std::wstring AccessibleName(HWND window);

// Runs `job` (which shows a modal window captioned `caption`) on a thread of
// its own. Result() waits for the job. Should a test fail while the window
// is still open, the destructor closes it so that the thread can end.
class ModalJob {
 public:
  ModalJob(std::wstring caption, std::function<INT_PTR()> job);
  ~ModalJob();
  ModalJob(const ModalJob&) = delete;
  ModalJob& operator=(const ModalJob&) = delete;

  INT_PTR Result();

 private:
  std::wstring m_caption;
  std::atomic<bool> m_bDone{false};
  INT_PTR m_nResult = -1;
  std::thread m_thread;
};

}  // namespace gui_support
