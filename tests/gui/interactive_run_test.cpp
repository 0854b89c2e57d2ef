// A packed runner started without "-s": the package asks a question, and
// the test answers it in the runner's own box.
#include <gtest/gtest.h>

#include "gui/gui_support.h"
#include "res/resource.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using testing_support::ChildProcess;
using gui_support::UniqueCaption;
using gui_support::WaitForDialog;
using gui_support::WindowText;
using testing_support::Exists;
using testing_support::ListFolder;
using testing_support::OwnFolder;
using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::U16;

namespace {

TEST(InteractiveRun, ARefusedQuestionEndsTheRunCancelledWithoutThePayload) {
  // How each way of ending the box maps to an answer is the message step's
  // table; an accepted box starting the payload is the end-to-end test of a
  // payload that cannot be swapped. Here the refusal, through a whole run,
  // with the catalogue read from the extracted package.
  TempFolder work(L"run"), temp(L"temp");
  const std::wstring product = UniqueCaption(L"run");
  const std::string assist =
      "[ParamOption]\r\nExecuteFileName=probe.exe\r\nProductName=" + testing_support::Utf8(product) + "\r\n";
  const std::string setting = "[Setting]\r\nIsShowMessageBox=1\r\nIsOk=0\r\n";
  const std::string catalogue = "<MessageInfo><ENG>Install now?</ENG></MessageInfo>";
  const std::wstring runner = work / L"runner.exe";
  nsTobrin::WriterGroup root{nsTobrin::kRootGroupName, {}};
  root.files.push_back(nsTobrin::FileFromBytes(u"probe.exe", ReadBytes(OwnFolder() + L"\\probe.exe")));
  root.files.push_back(nsTobrin::FileFromBytes(u"AssistFile.ini", assist));
  root.files.push_back(nsTobrin::FileFromBytes(u"MessageSetting.ini", setting));
  root.files.push_back(nsTobrin::FileFromBytes(u"MessageInfo.xml", catalogue));
  ASSERT_TRUE(testing_support::BindPackage(OwnFolder() + L"\\tobrin.exe", runner, {root}));

  const std::wstring report = work / L"report.txt";
  ChildProcess run(L"\"" + runner + L"\"", {{L"TEMP", temp.Path()}, {L"TMP", temp.Path()}, {L"PROBE_REPORT", report}});
  ASSERT_TRUE(run.Started());
  // The progress window comes first; the box follows once it has gone.
  HWND box = WaitForDialog(product, 60000);
  ASSERT_TRUE(box) << "no message box";
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_MESSAGE_TEXT)), L"Install now?");
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_LEFT_BUTTON)), L"OK");
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_RIGHT_BUTTON)), L"Cancel");
  SendMessageW(GetDlgItem(box, IDC_RIGHT_BUTTON), BM_CLICK, 0, 0);

  EXPECT_EQ(run.Wait(60000), ERROR_CANCELLED);
  EXPECT_FALSE(Exists(report));
  EXPECT_TRUE(ListFolder(temp.Path()).empty()) << "an extraction folder was left behind";
}

}  // namespace
