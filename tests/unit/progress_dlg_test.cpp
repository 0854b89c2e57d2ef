// The progress window's handlers that no extraction drives.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/tobrin_dlg.h"

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
