// A packed runner started without "-s": the package asks a question, and
// the test answers it in the runner's own box.
#include <gtest/gtest.h>

#include "gui/gui_support.h"
#include "res/resource.h"
#include "unit/test_support.h"

using namespace testing_support;

namespace {

TEST(InteractiveRun, AFailingXmlComponentLeavesTheBoxOfACatalogueThatDoesNotLoad) {
  // How each way of ending the box maps to an answer is the message step's
  // table; a refused and an accepted box through whole runs, with the
  // catalogue read from the extracted package, are the soak test's. Here a
  // catalogue that makes the XML component fail: the runner catches its
  // error (so the way the runner is linked must let its exceptions be
  // caught) and shows the box of a catalogue that does not load, no texts
  // and one button, which starts the payload.
  const RunnerScene scene(L"run");
  const std::wstring product = gui_support::UniqueCaption(L"run");
  const auto run = scene.Start(scene.Pack({scene.ProbeRoot(QuestionFiles("<MessageInfo xmlns=\"urn:it's a b\"><ENG>x</ENG></MessageInfo>"),
                                                           AssistFile("probe.exe", "", "", Utf8(product)))}));
  ASSERT_TRUE(run->Started());
  // The progress window comes first; the box follows once it has gone.
  HWND box = gui_support::WaitForDialog(product, 60000);
  ASSERT_TRUE(box) << "no message box";
  EXPECT_EQ(gui_support::WindowText(GetDlgItem(box, IDC_MESSAGE_TEXT)), L"");
  SendMessageW(GetDlgItem(box, IDC_RIGHT_BUTTON), BM_CLICK, 0, 0);

  EXPECT_EQ(run->Wait(60000), 0);
  EXPECT_TRUE(Exists(scene.report));
  EXPECT_EQ(LeftIn(scene.temp), std::vector<std::wstring>()) << "an extraction folder was left behind";
}

}  // namespace
