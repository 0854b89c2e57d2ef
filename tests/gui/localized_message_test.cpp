// The message step of a run with its box on the display: what reaches the
// box, and what the user's answer means for the payload.
#include <gtest/gtest.h>

#include "app/tobrin_dlg.h"
#include "gui/gui_support.h"
#include "res/resource.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using gui_support::ModalJob;
using gui_support::UniqueCaption;
using gui_support::WaitForDialog;
using gui_support::WindowText;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

class LocalizedMessageBoxTest : public ::testing::Test {
 protected:
  // The run state as the payload run leaves it before the message step.
  void Prepare(const std::string* catalogue, bool showBox, bool isOk) {
    if (catalogue) {
      ASSERT_TRUE(WriteBytes(m_folder / L"MessageInfo.xml", *catalogue));
    }
    m_dlg.m_strExtractFolder = m_folder.Path() + L"\\";
    m_dlg.m_strProductName = m_caption;
    m_dlg.m_bShowMessageBox = showBox;
    m_dlg.m_bIsOk = isOk;
  }

  TempFolder m_folder{L"box"};
  CTobrinDlg m_dlg;
  const std::wstring m_caption = UniqueCaption(L"product");
};

const std::string kCatalogue =
    "<MessageInfo><ENG>Tom &amp; Jerry &amp;&amp; friends</ENG>"
    "<CHT>\xE8\xAB\x8B\xE7\xA8\x8D\xE5\x80\x99</CHT></MessageInfo>";

TEST_F(LocalizedMessageBoxTest, QuestionShowsTheCatalogueTextAndTheAnswerDecides) {
  struct Case {
    int control;  // clicked, or 0 for the close command
    bool startPayload;
  } const cases[] = {{IDC_LEFT_BUTTON, true}, {IDC_RIGHT_BUTTON, false}, {0, false}};
  Prepare(&kCatalogue, true, false);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    ModalJob job(m_caption, [this] { return static_cast<INT_PTR>(m_dlg.ShowLocalizedMessage(0x0409)); });
    HWND box = WaitForDialog(m_caption);
    ASSERT_TRUE(box);
    // Every ampersand doubled, so the static text shows each as written.
    EXPECT_EQ(WindowText(GetDlgItem(box, IDC_MESSAGE_TEXT)), L"Tom && Jerry &&&& friends");
    EXPECT_EQ(WindowText(GetDlgItem(box, IDC_LEFT_BUTTON)), L"OK");
    EXPECT_EQ(WindowText(GetDlgItem(box, IDC_RIGHT_BUTTON)), L"Cancel");
    EXPECT_EQ(WindowText(box), m_caption);
    if (c.control)
      SendMessageW(GetDlgItem(box, c.control), BM_CLICK, 0, 0);
    else
      PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(job.Result() != 0, c.startPayload);
  }
}

TEST_F(LocalizedMessageBoxTest, ButtonTextsFollowTheLanguageRow) {
  Prepare(&kCatalogue, true, false);
  ModalJob job(m_caption, [this] { return static_cast<INT_PTR>(m_dlg.ShowLocalizedMessage(0x0404)); });
  HWND box = WaitForDialog(m_caption);
  ASSERT_TRUE(box);
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_MESSAGE_TEXT)), L"請稍候");
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_LEFT_BUTTON)), L"確定");
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_RIGHT_BUTTON)), L"取消");
  SendMessageW(GetDlgItem(box, IDC_LEFT_BUTTON), BM_CLICK, 0, 0);
  EXPECT_TRUE(job.Result());
}

TEST_F(LocalizedMessageBoxTest, NoticeStartsThePayloadHoweverItEnds) {
  Prepare(&kCatalogue, true, true);
  ModalJob job(m_caption, [this] { return static_cast<INT_PTR>(m_dlg.ShowLocalizedMessage(0x0409)); });
  HWND box = WaitForDialog(m_caption);
  ASSERT_TRUE(box);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(box, IDC_LEFT_BUTTON)));
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_RIGHT_BUTTON)), L"OK");
  PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(job.Result());
}

TEST_F(LocalizedMessageBoxTest, WithoutCatalogueTheBoxHasOneEmptyButton) {
  Prepare(nullptr, true, false);
  ModalJob job(m_caption, [this] { return static_cast<INT_PTR>(m_dlg.ShowLocalizedMessage(0x0409)); });
  HWND box = WaitForDialog(m_caption);
  ASSERT_TRUE(box);
  EXPECT_EQ(WindowText(GetDlgItem(box, IDC_MESSAGE_TEXT)), L"");
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(box, IDC_LEFT_BUTTON)));
  HWND button = GetDlgItem(box, IDC_RIGHT_BUTTON);
  EXPECT_TRUE(IsWindowVisible(button));
  EXPECT_EQ(WindowText(button), L"");
  SendMessageW(button, BM_CLICK, 0, 0);
  EXPECT_TRUE(job.Result());  // the single button ends it with IDOK
}

TEST_F(LocalizedMessageBoxTest, NoBoxWantedStartsThePayloadWithoutAWindow) {
  Prepare(&kCatalogue, false, false);
  ModalJob job(m_caption, [this] { return static_cast<INT_PTR>(m_dlg.ShowLocalizedMessage(0x0409)); });
  const bool done = job.WaitDone(30000);
  EXPECT_TRUE(done) << "a box was shown";
  EXPECT_EQ(FindWindowW(L"#32770", m_caption.c_str()), nullptr);
  if (done) {
    EXPECT_TRUE(job.Result());
  }
}

}  // namespace
