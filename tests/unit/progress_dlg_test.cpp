// The progress window's handlers that no extraction drives, and its layout
// at several resolutions.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "app/tobrin_dlg.h"
#include "ui/window_layout.h"

namespace {

struct ExposedDlg : CTobrinDlg {
  using CTobrinDlg::OnMessage;
};

}  // namespace

TEST(ProgressDialog, TimerFourStepsTheBarAndNoOtherTimerDoes) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  ExposedDlg dlg;
  dlg.m_progress.m_hWnd = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(dlg.m_progress.m_hWnd, nullptr);
  dlg.m_progress.SetRange32(0, 1000);
  dlg.m_progress.SetStep(1);
  LRESULT result = 0;
  for (WPARAM id : {3, 5, 0x104}) dlg.OnMessage(WM_TIMER, id, 0, result);
  EXPECT_EQ(dlg.m_progress.GetPos(), 0);
  dlg.OnMessage(WM_TIMER, 4, 0, result);
  EXPECT_EQ(dlg.m_progress.GetPos(), 1);
  DestroyWindow(dlg.m_progress.m_hWnd);
}

TEST(ProgressDialog, HasNoAboutCommand) {
  ExposedDlg dlg;
  dlg.m_hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
  LRESULT result = 0;
  // 0x0010 (an About entry's command) is swallowed; the others go on to the
  // default handling.
  EXPECT_TRUE(dlg.OnMessage(WM_SYSCOMMAND, 0x0010, 0, result));
  EXPECT_TRUE(dlg.OnMessage(WM_SYSCOMMAND, 0x0013, 0, result));
  EXPECT_FALSE(dlg.OnMessage(WM_SYSCOMMAND, SC_MOVE, 0, result));
  EXPECT_EQ(reinterpret_cast<HICON>(dlg.OnMessage(WM_QUERYDRAGICON, 0, 0, result) ? result : 0), dlg.m_hIcon);
}

TEST(ProgressDialog, LayoutScalesWithTheResolution) {
  // Client width and height, then the text's and the bar's x, y, width and
  // height; at 96 the fixed pixels.
  const std::pair<int, std::vector<int>> cases[] = {
      {96, {300, 98, 22, 22, 80, 14, 22, 49, 256, 18}},
      {144, {450, 147, 33, 33, 120, 21, 33, 74, 384, 27}},  // 73.5 rounds up
      {192, {600, 196, 44, 44, 160, 28, 44, 98, 512, 36}},
  };
  for (const auto& [dpi, expected] : cases) {
    const nsTobrin::ProgressWindowPixels p = nsTobrin::LayoutProgressWindow(nsTobrin::CLayoutScale(dpi, dpi));
    EXPECT_EQ((std::vector<int>{p.nClientWidth, p.nClientHeight, p.text.x, p.text.y, p.text.cx, p.text.cy, p.bar.x,
                                p.bar.y, p.bar.cx, p.bar.cy}),
              expected)
        << dpi;
  }
  // A resolution that could not be read counts as 96.
  EXPECT_EQ(nsTobrin::LayoutProgressWindow(nsTobrin::CLayoutScale(0, 0)).nClientWidth, 300);
}
