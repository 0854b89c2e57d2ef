// Lengths of the runner's windows. Layout units are pixels at 96 dots per
// inch; the program declares itself aware of the resolution (its manifest),
// so Windows does not stretch its windows and every length is scaled here.
#pragma once

#include <windows.h>

namespace nsTobrin {

// A rectangle as position and size.
struct LayoutRect {
  int x, y, cx, cy;
};

// Layout units to pixels at a resolution, and pixels measured there back to
// layout units. A resolution that could not be read (0) counts as 96.
class CLayoutScale {
 public:
  CLayoutScale(int dpiX, int dpiY) : m_nDpiX(dpiX > 0 ? dpiX : 96), m_nDpiY(dpiY > 0 ? dpiY : 96) {}
  // MulDiv rounds.
  int X(int value) const { return MulDiv(value, m_nDpiX, 96); }
  int Y(int value) const { return MulDiv(value, m_nDpiY, 96); }
  LayoutRect Rect(int x, int y, int cx, int cy) const { return {X(x), Y(y), X(cx), Y(cy)}; }
  // Rounded up, so that a measured length scaled back is never shorter than
  // it was measured.
  int UnitsX(int pixels) const { return Units(pixels, m_nDpiX); }
  int UnitsY(int pixels) const { return Units(pixels, m_nDpiY); }

 private:
  static int Units(int pixels, int dpi) {
    return pixels <= 0 ? pixels : static_cast<int>((static_cast<long long>(pixels) * 96 + dpi - 1) / dpi);
  }
  int m_nDpiX, m_nDpiY;
};

// The progress window: a 300 x 98 client with the text "Extracting..." at
// 22, 22 (80 x 14) and the bar at 22, 49 (256 x 18) at 96 dots per inch.
struct ProgressWindowPixels {
  int nClientWidth, nClientHeight;
  LayoutRect text;
  LayoutRect bar;
};

inline ProgressWindowPixels LayoutProgressWindow(const CLayoutScale& scale) {
  return {scale.X(300), scale.Y(98), scale.Rect(22, 22, 80, 14), scale.Rect(22, 49, 256, 18)};
}

}  // namespace nsTobrin
