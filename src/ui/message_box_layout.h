// The arithmetic of the message box's layout, apart from the window so that
// it can be checked with exact text extents.
//
// Layout units are pixels at 96 dots per inch (window_layout.h). Text
// extents are measured in the device's own pixels and enter the layout in
// layout units, so that the box, scaled to the screen's resolution, is as
// large as its text needs there.
#pragma once

#include <windows.h>

#include "ui/window_layout.h"

namespace nsTobrin {

constexpr int kMessageLeft = 22;     // the message text's left and top edge
constexpr int kMessageTop = 22;
constexpr int kButtonHeight = 23;

struct MessageBoxLayout {
  int nTextWidth = 0;       // the message text's area
  int nTextHeight = 0;
  int nClientWidth = 0;
  int nPanelHeight = 0;     // the white panel at the top of the client area
  int nButtonTop = 0;
  int nClientHeight = 0;    // 10 units below the buttons
  bool bTwoButtons = false;
  int nRightButtonX = 0;    // control 1001: the right button, or the only one
  int nRightButtonWidth = 0;
  int nLeftButtonX = 0;     // control 1000, two-button mode only
  int nLeftButtonWidth = 0;
};

// The width of a button whose label measures `labelWidth`: 75 for short
// labels, 92 for middle ones, and the label plus 20 from 102 on.
int ButtonWidthForLabel(int labelWidth);

// `messageExtent` is the whole message measured on one line; `lineFeeds`
// the number of U+000A in it. In one-button mode `rightLabelWidth` is the
// width of the single label and `leftLabelWidth` is not used. Extents and
// label widths are pixels measured at `measuredAt`.
MessageBoxLayout LayoutMessageBox(SIZE messageExtent, int lineFeeds, bool twoButtons, int rightLabelWidth,
                                  int leftLabelWidth, const CLayoutScale& measuredAt = CLayoutScale(96, 96));

// Where the box puts its parts, in client pixels at a resolution.
struct MessageBoxPixels {
  LayoutRect text;
  LayoutRect rightButton;
  LayoutRect leftButton;  // all zero in one-button mode
  int nPanelWidth, nPanelHeight;
  int nClientWidth, nClientHeight;
};

MessageBoxPixels ScaleMessageBoxLayout(const MessageBoxLayout& layout, const CLayoutScale& scale);

// The colours of the panel and of the message on it: the box's white brush
// and the device context's own text colour (`text` CLR_INVALID), or, with
// high contrast on, the user's window colours and their system brush.
struct PanelColors {
  HBRUSH brush;
  COLORREF background;
  COLORREF text;
};
PanelColors ChoosePanelColors(bool highContrast, HBRUSH whiteBrush);

// True when the user has high contrast on (SPI_GETHIGHCONTRAST).
bool IsHighContrastOn();

}  // namespace nsTobrin
