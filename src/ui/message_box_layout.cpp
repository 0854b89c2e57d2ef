#include "ui/message_box_layout.h"

namespace nsTobrin {

namespace {

constexpr int kMinTextWidth = 200;
constexpr int kMaxTextWidth = 400;
constexpr int kTextWidthTolerance = 405;  // extents up to this stay as measured
constexpr int kMargin = 22;               // around the text, on each side
constexpr int kButtonGap = 10;            // above the buttons, right of them and below
constexpr int kButtonSpacing = 9;         // between the two buttons

}  // namespace

int ButtonWidthForLabel(int labelWidth) {
  if (labelWidth < 75) return 75;
  if (labelWidth < 102) return 92;
  return labelWidth + 20;
}

MessageBoxLayout LayoutMessageBox(SIZE messageExtent, int lineFeeds, bool twoButtons, int rightLabelWidth,
                                  int leftLabelWidth, const CLayoutScale& measuredAt) {
  MessageBoxLayout layout;
  // Measured pixels to layout units: the layout is scaled once, when it is
  // applied.
  const int cx = measuredAt.UnitsX(messageExtent.cx), cy = measuredAt.UnitsY(messageExtent.cy);
  rightLabelWidth = measuredAt.UnitsX(rightLabelWidth);
  leftLabelWidth = measuredAt.UnitsX(leftLabelWidth);
  if (cx <= kMaxTextWidth) {
    // Short texts get two lines, however many line feeds they hold.
    layout.nTextWidth = cx > kMinTextWidth ? cx : kMinTextWidth;
    layout.nTextHeight = 2 * cy;
  } else {
    layout.nTextWidth = cx <= kTextWidthTolerance ? cx : kMaxTextWidth;
    layout.nTextHeight = (cx / kMaxTextWidth + lineFeeds + 1) * cy;
  }
  layout.nClientWidth = layout.nTextWidth + 2 * kMargin;
  layout.nPanelHeight = layout.nTextHeight + 2 * kMargin;
  layout.nButtonTop = layout.nPanelHeight + kButtonGap;
  layout.nClientHeight = layout.nButtonTop + kButtonHeight + kButtonGap;

  layout.bTwoButtons = twoButtons;
  layout.nRightButtonWidth = ButtonWidthForLabel(rightLabelWidth);
  layout.nRightButtonX = layout.nClientWidth - layout.nRightButtonWidth - kButtonGap;
  if (twoButtons) {
    // The client width follows the message only, so wide labels can push
    // the left button past the left edge.
    layout.nLeftButtonWidth = ButtonWidthForLabel(leftLabelWidth);
    layout.nLeftButtonX = layout.nRightButtonX - kButtonSpacing - layout.nLeftButtonWidth;
  }
  return layout;
}

MessageBoxPixels ScaleMessageBoxLayout(const MessageBoxLayout& layout, const CLayoutScale& scale) {
  MessageBoxPixels pixels = {};
  pixels.text = scale.Rect(kMessageLeft, kMessageTop, layout.nTextWidth, layout.nTextHeight);
  pixels.rightButton = scale.Rect(layout.nRightButtonX, layout.nButtonTop, layout.nRightButtonWidth, kButtonHeight);
  if (layout.bTwoButtons)
    pixels.leftButton = scale.Rect(layout.nLeftButtonX, layout.nButtonTop, layout.nLeftButtonWidth, kButtonHeight);
  pixels.nPanelWidth = scale.X(layout.nClientWidth);
  pixels.nPanelHeight = scale.Y(layout.nPanelHeight);
  pixels.nClientWidth = scale.X(layout.nClientWidth);
  pixels.nClientHeight = scale.Y(layout.nClientHeight);
  return pixels;
}

PanelColors ChoosePanelColors(bool highContrast, HBRUSH whiteBrush) {
  if (highContrast)
    return {GetSysColorBrush(COLOR_WINDOW), GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)};
  return {whiteBrush, RGB(255, 255, 255), CLR_INVALID};
}

bool IsHighContrastOn() {
  HIGHCONTRASTW contrast = {};
  contrast.cbSize = sizeof(contrast);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

}  // namespace nsTobrin
