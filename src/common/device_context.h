// Scopes of a device context. They hold a pair (the context and the window
// or object it belongs to), so they are scopes rather than one-value owners.
#pragma once

#include <windows.h>

namespace nsTobrin {

// The device context of a window (or of the screen, for a null window),
// released at the end of the scope.
class WindowDeviceContext {
 public:
  explicit WindowDeviceContext(HWND window) : m_hWnd(window), m_hDC(GetDC(window)) {}
  ~WindowDeviceContext() {
    if (m_hDC) ReleaseDC(m_hWnd, m_hDC);
  }
  WindowDeviceContext(const WindowDeviceContext&) = delete;
  WindowDeviceContext& operator=(const WindowDeviceContext&) = delete;

  HDC Get() const { return m_hDC; }

 private:
  HWND m_hWnd;
  HDC m_hDC;
};

// Painting of a window between BeginPaint and EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : m_hWnd(window) { m_hDC = BeginPaint(window, &m_paint); }
  ~PaintScope() { EndPaint(m_hWnd, &m_paint); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;

  HDC Get() const { return m_hDC; }

 private:
  HWND m_hWnd;
  PAINTSTRUCT m_paint;
  HDC m_hDC;
};

// An object selected into a device context for the scope; the earlier
// object is selected back at its end.
class SelectionScope {
 public:
  SelectionScope(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hOld(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~SelectionScope() {
    if (m_hOld) SelectObject(m_hDC, m_hOld);
  }
  SelectionScope(const SelectionScope&) = delete;
  SelectionScope& operator=(const SelectionScope&) = delete;

 private:
  HDC m_hDC;
  HGDIOBJ m_hOld;
};

}  // namespace nsTobrin
