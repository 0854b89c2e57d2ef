// The message box's layout arithmetic with exact text extents, at 96 and
// 120 dots per inch.
#include <gtest/gtest.h>

#include "ui/message_box_layout.h"

using namespace tobrin;

namespace {

constexpr int kLine = 15;  // a line height in device pixels

MessageBoxLayout Layout(int cx, int lineFeeds = 0, int cy = kLine) {
  return LayoutMessageBox(SIZE{cx, cy}, lineFeeds, true, 20, 20);
}

TEST(MessageBoxLayout, TextAreaFollowsTheOneLineExtent) {
  struct Case {
    int cx, lineFeeds, width, lines;
  } const cases[] = {
      {0, 0, 200, 2},     // empty message
      {200, 0, 200, 2},   {201, 0, 201, 2},
      {120, 2, 200, 2},   // three short lines are still two lines high
      {400, 5, 400, 2},   // up to 400 the line feeds are not counted
      {401, 0, 401, 2},   {403, 0, 403, 2},  {405, 1, 405, 3},
      {406, 0, 400, 2},   // wider than 405: 400 wide, cx / 400 + n + 1 lines
      {799, 0, 400, 2},   {800, 0, 400, 3},  {1250, 3, 400, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "cx " << c.cx << ", line feeds " << c.lineFeeds);
    const MessageBoxLayout layout = Layout(c.cx, c.lineFeeds);
    EXPECT_EQ(layout.nTextWidth, c.width);
    EXPECT_EQ(layout.nTextHeight, c.lines * kLine);
    EXPECT_EQ(layout.nClientWidth, c.width + 44);
    EXPECT_EQ(layout.nPanelHeight, c.lines * kLine + 44);
    EXPECT_EQ(layout.nButtonTop, c.lines * kLine + 54);
    EXPECT_EQ(layout.nClientHeight, c.lines * kLine + 87);
  }
  EXPECT_EQ(Layout(0).nClientWidth, 244);
}

TEST(MessageBoxLayout, ButtonWidthSteps) {
  EXPECT_EQ(ButtonWidthForLabel(0), 75);
  EXPECT_EQ(ButtonWidthForLabel(74), 75);
  EXPECT_EQ(ButtonWidthForLabel(75), 92);
  EXPECT_EQ(ButtonWidthForLabel(101), 92);
  EXPECT_EQ(ButtonWidthForLabel(102), 122);
  EXPECT_EQ(ButtonWidthForLabel(180), 200);
}

TEST(MessageBoxLayout, ButtonsAreRightAlignedNineApart) {
  // Labels of different widths: the right button ends 10 from the right
  // edge, the left one 9 before it.
  const MessageBoxLayout layout = LayoutMessageBox(SIZE{300, kLine}, 0, true, 120, 40);
  ASSERT_TRUE(layout.bTwoButtons);
  EXPECT_EQ(layout.nClientWidth, 344);
  EXPECT_EQ(layout.nRightButtonWidth, 140);
  EXPECT_EQ(layout.nRightButtonX + layout.nRightButtonWidth, 344 - 10);
  EXPECT_EQ(layout.nLeftButtonWidth, 75);
  EXPECT_EQ(layout.nLeftButtonX + layout.nLeftButtonWidth, layout.nRightButtonX - 9);
  EXPECT_EQ(layout.nLeftButtonX, 344 - 140 - 75 - 19);
}

TEST(MessageBoxLayout, LongLabelsDoNotWidenTheBox) {
  const MessageBoxLayout layout = LayoutMessageBox(SIZE{0, kLine}, 0, true, 200, 200);
  EXPECT_EQ(layout.nClientWidth, 244);
  EXPECT_LT(layout.nLeftButtonX, 0);  // starts left of the client area
}

TEST(MessageBoxLayout, OneButtonModeHasOnlyTheRightButton) {
  const MessageBoxLayout layout = LayoutMessageBox(SIZE{0, kLine}, 0, false, 110, 999);
  EXPECT_FALSE(layout.bTwoButtons);
  EXPECT_EQ(layout.nRightButtonWidth, 130);
  EXPECT_EQ(layout.nRightButtonX, 244 - 130 - 10);
  EXPECT_EQ(layout.nLeftButtonWidth, 0);
  const MessageBoxPixels pixels = ScaleMessageBoxLayout(layout, CLayoutScale(96, 96));
  EXPECT_EQ(pixels.leftButton.cx, 0);
}

TEST(MessageBoxLayout, PixelsAt96DpiAreLayoutUnits) {
  const MessageBoxLayout layout = LayoutMessageBox(SIZE{403, 16}, 0, true, 30, 101);
  const MessageBoxPixels pixels = ScaleMessageBoxLayout(layout, CLayoutScale(96, 96));
  EXPECT_EQ(pixels.text.x, 22);
  EXPECT_EQ(pixels.text.y, 22);
  EXPECT_EQ(pixels.text.cx, 403);
  EXPECT_EQ(pixels.text.cy, 32);
  EXPECT_EQ(pixels.nClientWidth, 447);
  EXPECT_EQ(pixels.nPanelWidth, 447);
  EXPECT_EQ(pixels.nPanelHeight, 76);
  EXPECT_EQ(pixels.nClientHeight, 32 + 87);
  EXPECT_EQ(pixels.rightButton.x, 447 - 75 - 10);
  EXPECT_EQ(pixels.rightButton.y, 86);
  EXPECT_EQ(pixels.rightButton.cy, 23);
  EXPECT_EQ(pixels.leftButton.x, 447 - 75 - 92 - 19);
  EXPECT_EQ(pixels.leftButton.cx, 92);
}

TEST(MessageBoxLayout, PixelsAt120DpiAreScaledWithRounding) {
  // Extents measured at 120 are scaled once more, like every other length.
  const MessageBoxLayout layout = LayoutMessageBox(SIZE{0, 15}, 0, true, 40, 40);
  const MessageBoxPixels pixels = ScaleMessageBoxLayout(layout, CLayoutScale(120, 120));
  EXPECT_EQ(pixels.nClientWidth, 305);            // 244 * 1.25
  EXPECT_EQ(pixels.text.x, 28);                   // 27.5 rounds up
  EXPECT_EQ(pixels.text.cx, 250);
  EXPECT_EQ(pixels.text.cy, 38);                  // 30 * 1.25 = 37.5
  EXPECT_EQ(pixels.nPanelHeight, 93);             // 74 * 1.25 = 92.5
  EXPECT_EQ(pixels.rightButton.x, 199);           // 159 * 1.25 = 198.75
  EXPECT_EQ(pixels.rightButton.cx, 94);           // 75 * 1.25 = 93.75
  EXPECT_EQ(pixels.rightButton.y, 105);           // 84 * 1.25
  EXPECT_EQ(pixels.rightButton.cy, 29);           // 23 * 1.25 = 28.75
  EXPECT_EQ(pixels.leftButton.x, 94);             // 75 * 1.25 = 93.75
  EXPECT_EQ(pixels.nClientHeight, 146);           // 117 * 1.25 = 146.25
  // Horizontal and vertical resolutions apply to their own axes.
  const MessageBoxPixels mixed = ScaleMessageBoxLayout(layout, CLayoutScale(120, 96));
  EXPECT_EQ(mixed.nClientWidth, 305);
  EXPECT_EQ(mixed.nClientHeight, 117);
}

}  // namespace
