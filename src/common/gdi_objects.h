// Owners of GDI objects and device contexts.
#pragma once

#include <windows.h>

#include <utility>

namespace tobrin {

// A GDI object (font, brush) deleted when its owner goes. It must not be
// selected into a device context at that time.
template <class T>
class CGdiObject {
 public:
  CGdiObject() = default;
  explicit CGdiObject(T handle) : m_hObject(handle) {}
  ~CGdiObject() { Reset(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  T Get() const { return m_hObject; }
  void Reset(T handle = nullptr) {
    if (T old = std::exchange(m_hObject, handle)) DeleteObject(old);
  }

 private:
  T m_hObject = nullptr;
};

// The device context of a window (or of the screen, for a null window),
// released at the end of the scope.
class CWindowContext {
 public:
  explicit CWindowContext(HWND window) : m_hWnd(window), m_hDC(GetDC(window)) {}
  ~CWindowContext() {
    if (m_hDC) ReleaseDC(m_hWnd, m_hDC);
  }
  CWindowContext(const CWindowContext&) = delete;
  CWindowContext& operator=(const CWindowContext&) = delete;

  HDC Get() const { return m_hDC; }

 private:
  HWND m_hWnd;
  HDC m_hDC;
};

// Painting of a window between BeginPaint and EndPaint.
class CPaintContext {
 public:
  explicit CPaintContext(HWND window) : m_hWnd(window) { m_hDC = BeginPaint(window, &m_paint); }
  ~CPaintContext() { EndPaint(m_hWnd, &m_paint); }
  CPaintContext(const CPaintContext&) = delete;
  CPaintContext& operator=(const CPaintContext&) = delete;

  HDC Get() const { return m_hDC; }

 private:
  HWND m_hWnd;
  PAINTSTRUCT m_paint;
  HDC m_hDC;
};

// An object selected into a device context for the scope; the earlier
// object is selected back at its end.
class CSelectedObject {
 public:
  CSelectedObject(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hOld(dc && object ? SelectObject(dc, object) : nullptr) {}
  ~CSelectedObject() {
    if (m_hOld) SelectObject(m_hDC, m_hOld);
  }
  CSelectedObject(const CSelectedObject&) = delete;
  CSelectedObject& operator=(const CSelectedObject&) = delete;

 private:
  HDC m_hDC;
  HGDIOBJ m_hOld;
};

}  // namespace tobrin
