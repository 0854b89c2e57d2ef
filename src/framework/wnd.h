// A window handle with the operations the program uses.
#pragma once

#include <windows.h>

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
  BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) const {
    return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
  }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

  HWND m_hWnd = nullptr;
};
