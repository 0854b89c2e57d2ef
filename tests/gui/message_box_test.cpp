// CNormalMessageBox as a real window under the display: its geometry in
// pixels at the screen's resolution, its colours, and how it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "gui/gui_support.h"
#include "res/resource.h"
#include "ui/message_box_layout.h"
#include "ui/normal_message_box.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using namespace gui_support;

namespace {

constexpr wchar_t kDpiVariable[] = L"TOBRIN_TEST_DPI";

struct BoxTexts {
  std::wstring message, right, left;
};

INT_PTR ShowBox(const std::wstring& caption, const BoxTexts& texts) {
  CNormalMessageBox box;
  box.SetTexts(texts.message.c_str(), caption.c_str(), texts.right.c_str(), texts.left.c_str());
  return box.DoModal();
}

// The resolution this process is expected to run at: 96, or what the
// parent test set up for it.
int ExpectedDpi() {
  wchar_t value[16] = {};
  return GetEnvironmentVariableW(kDpiVariable, value, 16) ? _wtoi(value) : 96;
}

SIZE Measure(HFONT font, const std::wstring& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size;
}

HFONT FontOf(HWND box, int id) { return reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(box, id), WM_GETFONT, 0, 0)); }

// Left, top, width and height.
std::vector<LONG> Place(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }
std::vector<LONG> Place(const LayoutRect& r) { return {r.x, r.y, r.cx, r.cy}; }

// Measures the texts in the font the box gave its message and checks that
// every part sits where the layout rules put it at `dpi`. Returns the
// expected pixels for further checks.
MessageBoxPixels ExpectLayout(HWND box, const BoxTexts& texts, int dpi) {
  const HFONT font = FontOf(box, IDC_MESSAGE_TEXT);
  LOGFONTW logFont = {}, buttonLogFont = {};
  EXPECT_TRUE(GetObjectW(font, sizeof(logFont), &logFont));
  EXPECT_EQ(logFont.lfHeight, -MulDiv(9, dpi, 72));  // 9 points
  EXPECT_EQ(logFont.lfWeight, FW_NORMAL);
  if (GetUserDefaultUILanguage() == 0x0409) {
    EXPECT_STREQ(logFont.lfFaceName, L"Segoe UI");
  }
  GetObjectW(FontOf(box, IDC_RIGHT_BUTTON), sizeof(buttonLogFont), &buttonLogFont);
  EXPECT_EQ(buttonLogFont.lfHeight, logFont.lfHeight);

  const bool two = !texts.right.empty() && !texts.left.empty();
  const std::wstring& single = !texts.right.empty() ? texts.right : texts.left;
  const int lineFeeds = static_cast<int>(std::count(texts.message.begin(), texts.message.end(), L'\n'));
  const MessageBoxLayout layout =
      LayoutMessageBox(Measure(font, texts.message), lineFeeds, two, Measure(font, two ? texts.right : single).cx,
                       two ? Measure(font, texts.left).cx : 0);
  const MessageBoxPixels pixels = ScaleMessageBoxLayout(layout, CLayoutScale(dpi, dpi));

  RECT client;
  GetClientRect(box, &client);
  EXPECT_EQ(client.right, pixels.nClientWidth);
  EXPECT_EQ(client.bottom, pixels.nClientHeight);
  EXPECT_EQ(Place(ControlRect(box, IDC_MESSAGE_TEXT)), Place(pixels.text)) << "message";
  EXPECT_EQ(Place(ControlRect(box, IDC_RIGHT_BUTTON)), Place(pixels.rightButton)) << "right button";
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_RIGHT_BUTTON)), two ? texts.right : single);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(box, IDC_HIDDEN_CHECK)));
  EXPECT_EQ(IsWindowVisible(GetDlgItem(box, IDC_LEFT_BUTTON)) != FALSE, two);
  if (two) {
    EXPECT_EQ(Place(ControlRect(box, IDC_LEFT_BUTTON)), Place(pixels.leftButton)) << "left button";
    EXPECT_EQ(WindowText(GetDlgItem(box, IDC_LEFT_BUTTON)), texts.left);
  }

  // Without an owner the box is centred in the work area.
  RECT window, area;
  GetWindowRect(box, &window);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR((window.left + window.right) / 2, (area.left + area.right) / 2, 1);
  EXPECT_NEAR((window.top + window.bottom) / 2, (area.top + area.bottom) / 2, 1);
  return pixels;
}

// Each box is ended through a control of its own (0: the close box), which
// gives the box's own result code. Every other way of ending it, and what
// each answer means for a run, is the message step's table
// (localized_message_test.cpp), which cannot tell these codes apart.
TEST(MessageBoxWindow, LayoutFollowsTextAndResolution) {
  const int dpi = ExpectedDpi();
  struct Case {
    BoxTexts texts;
    int control;
    INT_PTR result;
  } const cases[] = {
      {{L"", L"Cancel", L"OK"}, 0, IDCANCEL},
      {{L"First line\nSecond line\nThird line", L"No", L"Yes"}, IDC_LEFT_BUTTON, IDYES},
      {{L"A notice long enough to be wider than four hundred pixels on one line, so that the box has to "
        L"wrap it onto further lines.\nAnd then a second paragraph.",
        L"Abbrechen", L"OK"},
       IDC_RIGHT_BUTTON, IDNO},
      {{L"Only the left text was given.", L"", L"Weiter"}, 0, IDCANCEL},
      {{L"Long labels.", L"A much longer label for the right button", L"And a long one for the left"}, 0, IDCANCEL},
      {{L"One button", L"Close", L""}, IDC_RIGHT_BUTTON, IDOK},
  };
  for (const Case& c : cases) {
    const BoxTexts& texts = c.texts;
    SCOPED_TRACE(testing_support::Utf8(texts.message));
    const std::wstring caption = UniqueCaption(L"layout");
    ModalJob job(caption, [&] { return ShowBox(caption, texts); });
    HWND box = WaitForDialog(caption);
    ASSERT_TRUE(box);
    EXPECT_EQ(WindowText(box), caption);
    const MessageBoxPixels pixels = ExpectLayout(box, texts, dpi);
    if (texts.message.empty()) {
      RECT client;
      GetClientRect(box, &client);
      EXPECT_EQ(client.right, dpi == 120 ? 305 : 244);  // a 200-wide text area and its margins
    }
    if (texts.message.find(L"Third") != std::wstring::npos) {
      // Three short lines: still two lines high.
      const RECT text = ControlRect(box, IDC_MESSAGE_TEXT);
      EXPECT_EQ(text.bottom - text.top, MulDiv(2 * Measure(FontOf(box, IDC_MESSAGE_TEXT), L"Third").cy, dpi, 96));
    }

    // The white panel above the strip in the dialog colour, and the message
    // on white: a spot of its area right of the short text.
    const COLORREF white = RGB(255, 255, 255);
    EXPECT_EQ(ClientPixel(box, 3, 3), white);
    EXPECT_EQ(ClientPixel(box, 3, pixels.nPanelHeight - 2), white);
    EXPECT_EQ(ClientPixel(box, 3, pixels.nPanelHeight + 2), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ClientPixel(box, pixels.nClientWidth - 3, pixels.nClientHeight - 3), GetSysColor(COLOR_BTNFACE));
    if (texts.message == L"Long labels.") {
      EXPECT_EQ(ClientPixel(box, pixels.text.x + pixels.text.cx - 3, pixels.text.y + 2), white);
    }

    if (c.control) {
      SendMessageW(GetDlgItem(box, c.control), BM_CLICK, 0, 0);
    } else {
      PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    EXPECT_EQ(job.Result(), c.result);
  }
}

TEST(MessageBoxWindow, At120DpiInANewProcess) {
  if (GetEnvironmentVariableW(kDpiVariable, nullptr, 0)) GTEST_SKIP() << "runs in the parent only";
  // The resolution is read by new processes: set it, run the layout test in
  // a child, and put 96 back.
  testing_support::RegistryValueGuard logPixels(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
  logPixels.SetDword(120);
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  testing_support::ChildProcess child(
      L"\"" + std::wstring(self) + L"\" --gtest_filter=MessageBoxWindow.LayoutFollowsTextAndResolution",
      {{kDpiVariable, L"120"}});
  ASSERT_TRUE(child.Started());
  EXPECT_EQ(child.Wait(120000), 0) << "the layout test failed at 120 dots per inch (its output is above)";
}

}  // namespace
