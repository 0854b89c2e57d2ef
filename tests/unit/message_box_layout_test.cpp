// The message box's layout arithmetic with exact text extents: what holds
// for every layout, the text area's steps, extents measured at other
// resolutions, a few rounding values at 120 dots per inch, and the panel's
// colours.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "common/win_owners.h"
#include "ui/message_box_layout.h"

using namespace nsTobrin;

namespace {

constexpr int kLine = 15;  // a line height in device pixels

// What every layout keeps: the text area inside its margins, the panel and
// the button strip below it, and the buttons right-aligned 10 from the
// edge and 9 apart, as wide as their labels ask.
void ExpectInvariants(const MessageBoxLayout& layout, bool two, int rightLabel, int leftLabel) {
  EXPECT_EQ(layout.nClientWidth, kMessageLeft + layout.nTextWidth + 22);
  EXPECT_EQ(layout.nPanelHeight, kMessageTop + layout.nTextHeight + 22);
  EXPECT_EQ(layout.nButtonTop, layout.nPanelHeight + 10);
  EXPECT_EQ(layout.nClientHeight, layout.nButtonTop + kButtonHeight + 10);
  EXPECT_EQ(layout.nRightButtonWidth, ButtonWidthForLabel(rightLabel));
  EXPECT_EQ(layout.nRightButtonX + layout.nRightButtonWidth, layout.nClientWidth - 10);
  if (two) {  // one button alone: the left one is hidden (the window test)
    EXPECT_EQ(layout.nLeftButtonWidth, ButtonWidthForLabel(leftLabel));
    EXPECT_EQ(layout.nLeftButtonX + layout.nLeftButtonWidth, layout.nRightButtonX - 9);
  }
}

TEST(MessageBoxLayout, TextAreaFollowsTheOneLineExtent) {
  struct Case {
    int cx, lineFeeds, width, lines;
  } const cases[] = {
      // An empty message and three short lines are the window test's.
      {200, 0, 200, 2},   {201, 0, 201, 2},
      {400, 5, 400, 2},   // up to 400 the line feeds are not counted
      {405, 1, 405, 3},
      {406, 0, 400, 2},   // wider than 405: 400 wide, cx / 400 + n + 1 lines
      {799, 0, 400, 2},   {800, 0, 400, 3},  {1250, 3, 400, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "cx " << c.cx << ", line feeds " << c.lineFeeds);
    const MessageBoxLayout layout = LayoutMessageBox(SIZE{c.cx, kLine}, c.lineFeeds, true, 20, 20);
    EXPECT_EQ(layout.nTextWidth, c.width);
    EXPECT_EQ(layout.nTextHeight, c.lines * kLine);
    ExpectInvariants(layout, true, 20, 20);
  }
}

TEST(MessageBoxLayout, ButtonsFollowTheirLabels) {
  const std::pair<int, int> widths[] = {{0, 75}, {74, 75}, {75, 92}, {101, 92}, {102, 122}, {180, 200}};
  for (const auto& [label, width] : widths) EXPECT_EQ(ButtonWidthForLabel(label), width) << label;
  struct Case {
    bool two;
    int right, left;
  } const cases[] = {{true, 120, 40}, {true, 200, 200}, {false, 110, 999}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.two << " " << c.right << " " << c.left);
    const MessageBoxLayout layout = LayoutMessageBox(SIZE{0, kLine}, 0, c.two, c.right, c.left);
    // Long labels start left of the client area rather than widen it.
    EXPECT_EQ(layout.nClientWidth, 244) << "labels never widen the box";
    ExpectInvariants(layout, c.two, c.right, c.left);
  }
}

TEST(MessageBoxLayout, PixelsAreLayoutUnitsScaledWithRounding) {
  // At 96 every length stays as it is.
  const auto parts = [](const LayoutRect& r) { return std::vector<int>{r.x, r.y, r.cx, r.cy}; };
  const MessageBoxLayout wide = LayoutMessageBox(SIZE{403, 16}, 0, true, 30, 101);
  const MessageBoxPixels same = ScaleMessageBoxLayout(wide, CLayoutScale(96, 96));
  EXPECT_EQ(parts(same.text), (std::vector<int>{kMessageLeft, kMessageTop, wide.nTextWidth, wide.nTextHeight}));
  EXPECT_EQ(parts(same.rightButton), (std::vector<int>{wide.nRightButtonX, wide.nButtonTop, wide.nRightButtonWidth, kButtonHeight}));
  EXPECT_EQ(parts(same.leftButton), (std::vector<int>{wide.nLeftButtonX, wide.nButtonTop, wide.nLeftButtonWidth, kButtonHeight}));
  EXPECT_EQ((std::vector<int>{same.nPanelWidth, same.nPanelHeight, same.nClientHeight}),
            (std::vector<int>{wide.nClientWidth, wide.nPanelHeight, wide.nClientHeight}));

  // At 120 each length is scaled and rounded.
  const MessageBoxLayout layout = LayoutMessageBox(SIZE{0, 15}, 0, true, 40, 40);
  const MessageBoxPixels pixels = ScaleMessageBoxLayout(layout, CLayoutScale(120, 120));
  EXPECT_EQ(pixels.nClientWidth, 305);            // 244 * 1.25
  EXPECT_EQ(pixels.text.x, 28);                   // 27.5 rounds up
  EXPECT_EQ(pixels.text.cy, 38);                  // 30 * 1.25 = 37.5
  EXPECT_EQ(pixels.rightButton.x, 199);           // 159 * 1.25 = 198.75
  EXPECT_EQ(pixels.rightButton.cy, 29);           // 23 * 1.25 = 28.75
  EXPECT_EQ(pixels.nClientHeight, 146);           // 117 * 1.25 = 146.25
  // Horizontal and vertical resolutions apply to their own axes.
  const MessageBoxPixels mixed = ScaleMessageBoxLayout(layout, CLayoutScale(120, 96));
  EXPECT_EQ(mixed.nClientWidth, 305);
  EXPECT_EQ(mixed.nClientHeight, 117);
}

TEST(MessageBoxLayout, ExtentsMeasuredAtAResolutionEnterAsLayoutUnits) {
  const auto fields = [](const MessageBoxLayout& l) {
    return std::vector<int>{l.nTextWidth, l.nTextHeight, l.nClientWidth, l.nClientHeight,
                            l.nRightButtonX, l.nRightButtonWidth, l.nLeftButtonX, l.nLeftButtonWidth};
  };
  // Twice the pixels at 192: the layout of 96, which then scales to twice
  // its size and no more.
  EXPECT_EQ(fields(LayoutMessageBox(SIZE{900, 32}, 1, true, 160, 240, CLayoutScale(192, 192))),
            fields(LayoutMessageBox(SIZE{450, 16}, 1, true, 80, 120)));
  // Units round up, so what was measured still fits once scaled back: at
  // 144, 301 x 19 pixels are 201 x 13 units (200.7 x 12.7), a label of 113
  // pixels 76 units.
  const MessageBoxLayout odd = LayoutMessageBox(SIZE{301, 19}, 0, false, 113, 0, CLayoutScale(144, 144));
  EXPECT_EQ(odd.nTextWidth, 201);
  EXPECT_EQ(odd.nTextHeight, 26);
  EXPECT_EQ(odd.nRightButtonWidth, 92);
}

TEST(MessageBoxColors, HighContrastTakesTheUsersWindowColours) {
  // Colours of the test's own, so that neither can be white or black by
  // chance; put back at the end.
  const int elements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT};
  const COLORREF saved[] = {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)};
  const COLORREF chosen[] = {RGB(0, 0, 128), RGB(255, 255, 0)};
  ASSERT_TRUE(SetSysColors(2, elements, chosen));
  const BrushObject white(CreateSolidBrush(RGB(255, 255, 255)));
  const PanelColors on = ChoosePanelColors(true, white.Get());
  EXPECT_EQ(on.brush, GetSysColorBrush(COLOR_WINDOW));
  EXPECT_EQ(on.background, RGB(0, 0, 128));
  EXPECT_EQ(on.text, RGB(255, 255, 0));
  const PanelColors off = ChoosePanelColors(false, white.Get());
  EXPECT_EQ(off.brush, white.Get());
  EXPECT_EQ(off.background, RGB(255, 255, 255));
  EXPECT_EQ(off.text, CLR_INVALID);
  SetSysColors(2, elements, saved);
}

}  // namespace
