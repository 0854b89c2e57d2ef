// The runner's windows on the display at the screen's resolution (96 here,
// 120, 144 and 192 in child processes): CNormalMessageBox's geometry, its
// colours, its focus, its names for a screen reader and how it ends; the
// progress window's geometry and names; the manifest that makes Windows
// leave their scaling to them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "app/tobrin_dlg.h"
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
  const CLayoutScale scale(dpi, dpi);
  const MessageBoxLayout layout =
      LayoutMessageBox(Measure(font, texts.message), lineFeeds, two, Measure(font, two ? texts.right : single).cx,
                       two ? Measure(font, texts.left).cx : 0, scale);
  const MessageBoxPixels pixels = ScaleMessageBoxLayout(layout, scale);

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

// The message area holds its wrapped text and is no larger than that needs
// (two lines at least, 200 units wide at least), at any resolution. An empty
// message has no height at all.
void ExpectTextFits(HWND box, const std::wstring& message, int dpi) {
  const HWND control = GetDlgItem(box, IDC_MESSAGE_TEXT);
  RECT area, needed;
  GetClientRect(control, &area);
  needed = area;
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, FontOf(box, IDC_MESSAGE_TEXT));
  DrawTextW(dc, message.c_str(), static_cast<int>(message.size()), &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  const SIZE line = Measure(FontOf(box, IDC_MESSAGE_TEXT), message);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  const LONG slack = MulDiv(4, dpi, 96);  // the layout units rounded up, line by line
  EXPECT_LE(needed.bottom, area.bottom) << "the message is cut at the bottom";
  // The layout's line count may give one line more than the words take.
  EXPECT_LE(area.bottom, std::max<LONG>(needed.bottom, 2 * metrics.tmHeight) + metrics.tmHeight + slack)
      << "taller than its text";
  EXPECT_LE(area.right, std::max<LONG>(line.cx, MulDiv(200, dpi, 96)) + slack) << "wider than its text";
}

constexpr int kEnter = -1;  // the Return key, on the focused button

// Each box is ended through a control of its own (0: the close box; kEnter:
// the Return key), which gives the box's own result code. Every other way
// of ending it, and what each answer means for a run, is the message step's
// table (localized_message_test.cpp), which cannot tell these codes apart.
TEST(MessageBoxWindow, LayoutFollowsTextAndResolution) {
  const int dpi = ExpectedDpi();
  struct Case {
    BoxTexts texts;
    int control;
    INT_PTR result;
  } const cases[] = {
      {{L"", L"Cancel", L"OK"}, 0, IDCANCEL},
      {{L"First line\nSecond line\nThird line", L"No", L"Yes"}, kEnter, IDYES},
      {{L"A notice long enough to be wider than four hundred pixels on one line, so that the box has to "
        L"wrap it onto further lines.\nAnd then a second paragraph.",
        L"Abbrechen", L"OK"},
       IDC_RIGHT_BUTTON, IDNO},
      {{L"Only the left text was given.", L"", L"Weiter"}, 0, IDCANCEL},
      {{L"Long labels.", L"A much longer label for the right button", L"And a long one for the left"}, 0, IDCANCEL},
      {{L"One button", L"Close", L""}, kEnter, IDOK},
  };
  for (const Case& c : cases) {
    const BoxTexts& texts = c.texts;
    SCOPED_TRACE(testing_support::Utf8(texts.message));
    const std::wstring caption = UniqueCaption(L"layout");
    ModalJob job(caption, [&] { return ShowBox(caption, texts); });
    HWND box = WaitForDialog(caption);  // found by its caption
    ASSERT_TRUE(box);
    const MessageBoxPixels pixels = ExpectLayout(box, texts, dpi);
    if (texts.message.empty()) {
      RECT client;
      GetClientRect(box, &client);
      EXPECT_EQ(client.right, MulDiv(244, dpi, 96));  // a 200-wide text area and its margins
    }
    if (texts.message.find(L"Third") != std::wstring::npos) {
      // Three short lines: still two lines high (and so cut after two).
      const RECT text = ControlRect(box, IDC_MESSAGE_TEXT);
      EXPECT_NEAR(text.bottom - text.top, 2 * Measure(FontOf(box, IDC_MESSAGE_TEXT), L"Third").cy, 2);
    } else if (!texts.message.empty()) {
      ExpectTextFits(box, texts.message, dpi);
    }

    // A screen reader reads the message and the labels; the first visible
    // button has the focus.
    const bool two = !texts.right.empty() && !texts.left.empty();
    const int focused = two ? IDC_LEFT_BUTTON : IDC_RIGHT_BUTTON;
    EXPECT_EQ(FocusedWindow(box), GetDlgItem(box, focused));
    EXPECT_EQ(AccessibleName(GetDlgItem(box, focused)), WindowText(GetDlgItem(box, focused)));
    if (!texts.message.empty()) {
      EXPECT_EQ(AccessibleName(GetDlgItem(box, IDC_MESSAGE_TEXT)), texts.message);
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

    if (c.control == kEnter) {
      PostMessageW(FocusedWindow(box), WM_KEYDOWN, VK_RETURN, 1);
    } else if (c.control) {
      SendMessageW(GetDlgItem(box, c.control), BM_CLICK, 0, 0);
    } else {
      PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    EXPECT_EQ(job.Result(), c.result);
  }
}

// The progress window of an interactive run, over this program's own file,
// which holds no package: the extraction fails at once, and the window stays
// for the worker's second.
TEST(ProgressWindowOnDisplay, ScaledToTheResolutionAndNamed) {
  const int dpi = ExpectedDpi();
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  AccessibleName(nullptr);  // the accessibility library loaded before the short-lived window
  CTobrinDlg dlg;
  const std::wstring caption = L"OLMI Packaging Manager";
  ModalJob job(caption, [&] { return dlg.DoModal(); });
  const HWND window = WaitForDialog(caption);
  ASSERT_TRUE(window);
  const HWND bar = GetDlgItem(window, IDC_PROGRESS), text = GetDlgItem(window, -1);
  EXPECT_EQ(AccessibleName(bar), L"Extracting...");
  EXPECT_EQ(AccessibleName(text), L"Extracting...");

  const ProgressWindowPixels pixels = LayoutProgressWindow(CLayoutScale(dpi, dpi));
  RECT client, outer;
  GetClientRect(window, &client);
  GetWindowRect(window, &outer);
  EXPECT_EQ((std::vector<LONG>{client.right, client.bottom}), (std::vector<LONG>{pixels.nClientWidth, pixels.nClientHeight}));
  EXPECT_EQ(Place(ControlRect(window, IDC_PROGRESS)), Place(pixels.bar));
  EXPECT_EQ(Place(ControlRect(window, -1)), Place(pixels.text));
  // Nothing cut: the text in its own font inside its control, the caption
  // beside the icon and the close box.
  const SIZE label = Measure(reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)), WindowText(text));
  const RECT textArea = ControlRect(window, -1);
  EXPECT_LE(label.cx, textArea.right - textArea.left);
  EXPECT_LE(label.cy, textArea.bottom - textArea.top);
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  const FontObject captionFont(CreateFontIndirectW(&metrics.lfCaptionFont));
  EXPECT_LE(Measure(captionFont.Get(), caption).cx + 2 * GetSystemMetrics(SM_CYCAPTION),
            outer.right - outer.left);
  EXPECT_EQ(job.Result(), IDOK);
}

// The shipped runner's manifest, as the system reads it.
TEST(RunnerManifest, DeclaresResolutionAwarenessAndTheSupportedSystems) {
  const std::wstring runner = testing_support::OwnFolder() + L"\\tobrin.exe";
  ACTCTXW request = {};
  request.cbSize = sizeof(request);
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = runner.c_str();
  request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
  const HANDLE context = CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE);
  wchar_t aware[16] = {};
  EXPECT_TRUE(QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware",
                                   aware, 16, nullptr));
  EXPECT_STREQ(aware, L"true");
  // Windows 7, 8, 8.1 and 10 (also 11), wherever the system's structure
  // puts them.
  std::vector<char> info(4096);
  SIZE_T size = 0;
  EXPECT_TRUE(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, info.data(), info.size(),
                           &size));
  const GUID systems[] = {{0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}},
                          {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}},
                          {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}},
                          {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}};
  EXPECT_EQ(*reinterpret_cast<const DWORD*>(info.data()), 4u);
  for (const GUID& id : systems) {
    const char* bytes = reinterpret_cast<const char*>(&id);
    EXPECT_NE(std::search(info.begin(), info.begin() + size, bytes, bytes + sizeof(GUID)), info.begin() + size)
        << std::hex << id.Data1;
  }
  ReleaseActCtx(context);
}

TEST(MessageBoxWindow, AtOtherResolutionsInNewProcesses) {
  if (GetEnvironmentVariableW(kDpiVariable, nullptr, 0)) GTEST_SKIP() << "runs in the parent only";
  // The resolution is read by new processes: set it, run the windows' tests
  // in a child, and put 96 back.
  testing_support::RegistryValueGuard logPixels(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (const int dpi : {120, 144, 192}) {
    logPixels.SetDword(dpi);
    testing_support::ChildProcess child(L"\"" + std::wstring(self) +
                                            L"\" --gtest_filter=MessageBoxWindow.LayoutFollowsTextAndResolution:"
                                            L"ProgressWindowOnDisplay.*",
                                        {{kDpiVariable, std::to_wstring(dpi)}});
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.Wait(120000), 0) << "the windows' tests failed at " << dpi
                                     << " dots per inch (their output is above)";
  }
}

}  // namespace
