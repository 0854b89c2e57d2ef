// The message step of a run with its box on the display: what reaches the
// box, and what the user's answer means for the payload.
#include <gtest/gtest.h>

#include "app/tobrin_dlg.h"
#include "gui/gui_support.h"
#include "res/resource.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using namespace gui_support;
using namespace testing_support;

namespace {

class LocalizedMessageBoxTest : public ::testing::Test {
 protected:
  // The run state as the payload run leaves it before the message step,
  // with or without the catalogue.
  void Prepare(const std::string* catalogue, bool isOk) {
    const std::wstring path = m_folder / L"MessageInfo.xml";
    if (catalogue) {
      ASSERT_TRUE(WriteBytes(path, *catalogue));
    } else {
      DeleteFileW(path.c_str());
    }
    m_dlg.m_strExtractFolder = m_folder.Path() + L"\\";
    m_dlg.m_strProductName = m_caption;
    m_dlg.m_bShowMessageBox = true;
    m_dlg.m_bIsOk = isOk;
  }

  TempFolder m_folder{L"box"};
  CTobrinDlg m_dlg;
  const std::wstring m_caption = UniqueCaption(L"product");
};

const std::string kCatalogue =
    "<MessageInfo><ENG>Tom &amp; Jerry &amp;&amp; friends</ENG>"
    "<CHT>\xE8\xAB\x8B\xE7\xA8\x8D\xE5\x80\x99</CHT></MessageInfo>";

// How the user ends the box.
enum class Answer { kLeft, kRight, kCloseCommand, kCloseMessage, kEscapeThenLeft };

void Give(HWND box, Answer answer) {
  switch (answer) {
    case Answer::kLeft:
    case Answer::kRight:
      SendMessageW(GetDlgItem(box, answer == Answer::kLeft ? IDC_LEFT_BUTTON : IDC_RIGHT_BUTTON), BM_CLICK, 0, 0);
      break;
    case Answer::kCloseCommand:
      PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE | 0x2, 0);  // the low four bits are the system's
      break;
    case Answer::kCloseMessage:
      PostMessageW(box, WM_CLOSE, 0, 0);
      break;
    case Answer::kEscapeThenLeft: {
      // Escape as the keyboard delivers it, to the focused control and to
      // the box; F1's help request. Posted messages come in order: had
      // Escape ended the box (a refusal), the click queued behind it would
      // not count.
      const HWND focus = FocusedWindow(box);
      PostMessageW(focus ? focus : box, WM_KEYDOWN, VK_ESCAPE, 1);
      PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 1);
      HELPINFO help = {};
      help.cbSize = sizeof(help);
      EXPECT_EQ(SendMessageW(box, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), TRUE);
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDC_LEFT_BUTTON, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDC_LEFT_BUTTON)));
      break;
    }
  }
}

// Every way the message step's box can end, in each kind of box: what the
// box shows and whether the payload starts. The box's own result codes are
// the message box test's; a whole run's exit code the soak test's; a run
// that asks for no box, with a catalogue, the end-to-end test's.
TEST_F(LocalizedMessageBoxTest, EachWayOfEndingTheBoxDecidesThePayload) {
  // Every ampersand of the catalogue doubled, so the static text shows each
  // as written.
  const wchar_t kEnglish[] = L"Tom && Jerry &&&& friends";
  struct Case {
    bool catalogue, isOk;
    LANGID language;
    const wchar_t *message, *left, *right;  // left null: no left button
    Answer answer;
    bool startsPayload;
  } const cases[] = {
      {true, false, 0x0409, kEnglish, L"OK", L"Cancel", Answer::kLeft, true},
      {true, false, 0x0409, kEnglish, L"OK", L"Cancel", Answer::kRight, false},
      {true, false, 0x0409, kEnglish, L"OK", L"Cancel", Answer::kCloseCommand, false},
      {true, false, 0x0409, kEnglish, L"OK", L"Cancel", Answer::kCloseMessage, false},
      {true, false, 0x0409, kEnglish, L"OK", L"Cancel", Answer::kEscapeThenLeft, true},
      {true, false, 0x0404, L"請稍候", L"確定", L"取消", Answer::kLeft, true},
      // A notice: however it ends, the payload starts.
      {true, true, 0x0409, kEnglish, nullptr, L"OK", Answer::kRight, true},
      {true, true, 0x0409, kEnglish, nullptr, L"OK", Answer::kCloseCommand, true},
      // No catalogue: one button without a text, which starts the payload.
      {false, false, 0x0409, L"", nullptr, L"", Answer::kRight, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "catalogue " << c.catalogue << ", IsOk " << c.isOk << ", language "
                                    << c.language << ", answer " << static_cast<int>(c.answer));
    Prepare(c.catalogue ? &kCatalogue : nullptr, c.isOk);
    ModalJob job(m_caption, [&] { return static_cast<INT_PTR>(m_dlg.ShowLocalizedMessage(c.language)); });
    HWND box = WaitForDialog(m_caption);
    ASSERT_TRUE(box);
    EXPECT_EQ(WindowText(GetDlgItem(box, IDC_MESSAGE_TEXT)), c.message);
    EXPECT_EQ(IsWindowVisible(GetDlgItem(box, IDC_LEFT_BUTTON)) != FALSE, c.left != nullptr);
    if (c.left) {
      EXPECT_EQ(WindowText(GetDlgItem(box, IDC_LEFT_BUTTON)), c.left);
    }
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(box, IDC_RIGHT_BUTTON)));
    EXPECT_EQ(WindowText(GetDlgItem(box, IDC_RIGHT_BUTTON)), c.right);
    Give(box, c.answer);
    EXPECT_EQ(job.Result() != 0, c.startsPayload);
  }
}

}  // namespace
