// The progress window of an interactive run, driven from outside as a user
// would meet it: found by its caption, measured in client pixels, closed
// early with the keyboard and the close box.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <tuple>
#include <vector>

#include "unit/test_support.h"

using namespace testing_support;
using nsTobrin::FileFromBytes;

namespace {

constexpr wchar_t kCaption[] = L"OLMI Packaging Manager";

HWND FindChild(HWND parent, const wchar_t* className) {
  return FindWindowExW(parent, nullptr, className, nullptr);
}

// Packed runners started without -s.
class ProgressWindow : public ::testing::Test, public RunnerScene {
 protected:
  ProgressWindow() : RunnerScene(L"gui") { silentSwitch.Delete(); }
  // However the run ended, its TEMP holds nothing but the sentinel afterwards.
  void TearDown() override { EXPECT_EQ(LeftIn(temp), std::vector<std::wstring>()); }

  std::wstring PackFiles(std::vector<nsTobrin::WriterFile> files, Packing packing = Packing::Stored) {
    return Pack({ProbeRoot(std::move(files))}, L"runner.exe", packing);
  }

  RegistryValueGuard silentSwitch{HKEY_LOCAL_MACHINE, kProductKey, L"SilentExecution"};
};

}  // namespace

TEST_F(ProgressWindow, ShowsTheExtractionThenRunsThePayload) {
  std::vector<nsTobrin::WriterFile> files;
  for (int i = 0; i < 950; ++i) files.push_back(FileFromBytes(U16(L"f" + std::to_wstring(i) + L".bin"), std::string(4096, 'x')));
  auto run = Start(PackFiles(files));
  const HWND window = run->WaitForWindow(kCaption);
  ASSERT_NE(window, nullptr);

  // Centred in the work area (its size, its parts and their names are the
  // window test's).
  RECT outer, area;
  GetWindowRect(window, &outer);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR((outer.left + outer.right) / 2, (area.left + area.right) / 2, 1);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, (area.top + area.bottom) / 2, 1);
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);

  const HWND bar = FindChild(window, PROGRESS_CLASSW);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 1000);

  // The bar stops at 900 steps, then fills; the full bar stays about a
  // second before the window goes.
  int highestBelowFull = 0;
  ULONGLONG fullAt = 0, goneAt = 0;
  for (const ULONGLONG end = GetTickCount64() + 30000; GetTickCount64() < end;) {
    if (!IsWindow(window) || !IsWindowVisible(window)) {
      goneAt = GetTickCount64();
      break;
    }
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    if (position == 1000 && !fullAt) fullAt = GetTickCount64();
    if (position < 1000 && position > highestBelowFull) highestBelowFull = position;
    Sleep(5);
  }
  ASSERT_NE(fullAt, 0u);
  ASSERT_NE(goneAt, 0u);
  EXPECT_GT(highestBelowFull, 0) << "no position below full was seen";
  EXPECT_LE(highestBelowFull, 900);
  EXPECT_GE(goneAt - fullAt, 800u);

  EXPECT_EQ(run->Wait(60000), 0);
  EXPECT_NE(ReadBytes(report).find("end\n"), std::string::npos);
}

TEST_F(ProgressWindow, AnEmptyPackageFillsTheBarAtOnce) {
  auto run = Start(Pack({}, L"empty.exe"));
  const HWND window = run->WaitForWindow(kCaption);
  ASSERT_NE(window, nullptr);
  const HWND bar = FindChild(window, PROGRESS_CLASSW);
  int position = 0;
  for (int i = 0; i < 100 && position != 1000 && IsWindow(window); ++i, Sleep(5))
    position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
  EXPECT_EQ(position, 1000);
  // No AssistFile.ini: no file to start, and the runner says so.
  EXPECT_EQ(run->Wait(60000), ERROR_FILE_NOT_FOUND);
}

TEST_F(ProgressWindow, ClosingEarlyCancelsTheRun) {
  // Enough data that the extraction is still running when the window shows;
  // in several folders, which the deletion of what was written shares out.
  // Sealed, so that the cancel also stops the hashing thread.
  std::vector<nsTobrin::WriterFile> files;
  for (int i = 0; i < 400; ++i)
    files.push_back(FileFromBytes(U16(L"d" + std::to_wstring(i % 4) + L"\\big" + std::to_wstring(i)), std::string(1 << 20, 'b')));
  const std::wstring packed = PackFiles(files, Packing::Sealed);

  for (const auto& [what, message, wParam] : {std::tuple{"Escape", WM_KEYDOWN, VK_ESCAPE}, std::tuple{"close box", WM_SYSCOMMAND, SC_CLOSE}}) {
    auto run = Start(packed);
    const HWND window = run->WaitForWindow(kCaption);
    ASSERT_NE(window, nullptr) << what;
    const HWND bar = FindChild(window, PROGRESS_CLASSW);
    // Enter does nothing. The second message sent after it is answered only
    // once the window's loop has taken the key and come back for more.
    PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    for (int i = 0; i < 2; ++i) SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_TRUE(IsWindowVisible(window)) << what;
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    ASSERT_LT(position, 300) << what << ": the extraction went too fast to be interrupted";
    PostMessageW(window, static_cast<UINT>(message), static_cast<WPARAM>(wParam), 0);
    EXPECT_EQ(run->Wait(60000), ERROR_CANCELLED) << what;
    EXPECT_EQ(ReadBytes(report), "") << what << ": the payload must not start";
  }
}

TEST_F(ProgressWindow, AQuitMessageEndsTheLoopButNotTheExtraction) {
  // WM_QUIT posted to the runner's main thread while the worker extracts:
  // the run waits for the worker, then starts the payload once, in a folder
  // extracted once and whole. A question the package asks is then left
  // unanswered (the quit request ends its loop too), which is no consent:
  // the run ends cancelled and nothing starts.
  for (const bool question : {false, true}) {
    SCOPED_TRACE(question ? "with a question" : "without a question");
    DeleteFileW(report.c_str());
    std::vector<nsTobrin::WriterFile> files;
    for (int i = 0; i < 300; ++i) files.push_back(FileFromBytes(U16(L"big" + std::to_wstring(i)), std::string(1 << 20, 'b')));
    if (question) {
      const auto asking = QuestionFiles("<MessageInfo><ENG>Install?</ENG></MessageInfo>");
      files.insert(files.end(), asking.begin(), asking.end());
    }
    auto run = Start(PackFiles(files));
    const HWND window = run->WaitForWindow(kCaption);
    ASSERT_NE(window, nullptr);
    ASSERT_LT(SendMessageW(FindChild(window, PROGRESS_CLASSW), PBM_GETPOS, 0, 0), 200) << "the extraction went too fast";
    ASSERT_TRUE(PostThreadMessageW(GetWindowThreadProcessId(window, nullptr), WM_QUIT, 0, 0));
    EXPECT_EQ(run->Wait(60000), question ? ERROR_CANCELLED : 0);
    const std::string seen = ReadBytes(report);
    size_t begins = 0, bigSeen = 0;
    for (size_t at = 0; (at = seen.find("begin\n", at)) != std::string::npos; ++at) ++begins;
    for (size_t at = 0; (at = seen.find("\nfile=big", at)) != std::string::npos; ++at) ++bigSeen;
    EXPECT_EQ(begins, question ? 0u : 1u);
    EXPECT_EQ(bigSeen, question ? 0u : files.size());
  }
}

TEST_F(ProgressWindow, ADamagedSealedPackageEndsTheWindowAndStartsNothing) {
  const std::wstring packed = PackFiles({FileFromBytes(u"data.bin", std::string(4 << 20, 'd'))}, Packing::Sealed);
  std::string damaged = ReadBytes(packed);
  damaged[damaged.size() / 2] ^= 0x10;
  ASSERT_TRUE(WriteBytes(packed, damaged));
  auto run = Start(packed);
  EXPECT_NE(run->WaitForWindow(kCaption), nullptr);
  EXPECT_EQ(run->Wait(60000), ERROR_CRC);
  EXPECT_EQ(ReadBytes(report), "") << "the payload must not start";
}
