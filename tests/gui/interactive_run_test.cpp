// A packed runner started without "-s": the package asks a question, and
// the test answers it in the runner's own box.
#include <gtest/gtest.h>

#include "gui/gui_support.h"
#include "res/resource.h"
#include "unit/test_support.h"

using namespace testing_support;

namespace {

TEST(InteractiveRun, ARefusedQuestionEndsTheRunCancelledWithoutThePayload) {
  // How each way of ending the box maps to an answer is the message step's
  // table; an accepted box starting the payload is the end-to-end test of a
  // payload that cannot be swapped. Here the refusal, through a whole run,
  // with the catalogue read from the extracted package. The second
  // catalogue makes the XML component fail: the runner catches its error
  // (so the way the runner is linked must let its exceptions be caught) and
  // shows the box of a catalogue that does not load, no texts and one
  // button, which starts the payload.
  const struct {
    const char* catalogue;
    const wchar_t* message;
    DWORD exitCode;
  } cases[] = {{"<MessageInfo><ENG>Install now?</ENG></MessageInfo>", L"Install now?", ERROR_CANCELLED},
               {"<MessageInfo xmlns=\"urn:it's a b\"><ENG>x</ENG></MessageInfo>", L"", 0}};
  for (const auto& [catalogue, message, exitCode] : cases) {
    SCOPED_TRACE(catalogue);
    const RunnerScene scene(L"run");
    const std::wstring product = gui_support::UniqueCaption(L"run");
    const auto run = scene.Start(scene.Pack({scene.ProbeRoot(QuestionFiles(catalogue), AssistFile("probe.exe", "", "", Utf8(product)))}));
    ASSERT_TRUE(run->Started());
    // The progress window comes first; the box follows once it has gone.
    HWND box = gui_support::WaitForDialog(product, 60000);
    ASSERT_TRUE(box) << "no message box";
    EXPECT_EQ(gui_support::WindowText(GetDlgItem(box, IDC_MESSAGE_TEXT)), message);
    SendMessageW(GetDlgItem(box, IDC_RIGHT_BUTTON), BM_CLICK, 0, 0);

    EXPECT_EQ(run->Wait(60000), exitCode);
    EXPECT_EQ(Exists(scene.report), exitCode == 0);
    EXPECT_EQ(LeftIn(scene.temp), std::vector<std::wstring>()) << "an extraction folder was left behind";
  }
}

}  // namespace
