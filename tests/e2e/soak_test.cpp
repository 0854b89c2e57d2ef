// Many runs in a row, of every kind: each ends with its documented exit code
// and none leaves anything in TEMP.
#include <gtest/gtest.h>

#include <windows.h>

#include "unit/test_support.h"

using namespace testing_support;
using nsTobrin::FileFromBytes;
using nsTobrin::kRootGroupName;

TEST(Soak, ThreeHundredRunsOfEveryKind) {
  const RunnerScene scene(L"soak");
  const std::wstring& temp = scene.temp;
  RegistryValueGuard silentSwitch(HKEY_LOCAL_MACHINE, kProductKey, L"SilentExecution");
  silentSwitch.Delete();

  const std::string assist = AssistFile("probe.exe", "", "", "Soak");
  const std::wstring product = scene.work / L"product.exe", damaged = scene.work / L"damaged.exe";
  // The normal package also carries an engine the payload may hand over to, and is sealed:
  // every run of it hashes its data on a second thread.
  const std::wstring normal = scene.Pack({scene.ProbeRoot({FileFromBytes(u"engine.exe", scene.probe)}, assist),
                                          {u"data", {FileFromBytes(u"a.bin", std::string(70000, 'a'))}},
                                          {u"more", {FileFromBytes(u"b.bin", "b"), FileFromBytes(u"c\\d.bin", "d")}}},
                                         L"normal.exe", Packing::Sealed);
  const std::wstring failing = scene.Pack({{kRootGroupName, {FileFromBytes(u"AssistFile.ini", assist)}}}, L"failing.exe");
  std::string bytes = ReadBytes(normal);
  bytes.resize(bytes.size() - 100);  // the data area cut short
  ASSERT_TRUE(WriteBytes(damaged, bytes));
  const std::wstring asking =
      scene.Pack({scene.ProbeRoot(QuestionFiles("<MessageInfo><ENG>Go on?</ENG></MessageInfo>"), assist)}, L"asking.exe");
  // Answers the two-button box with the button (1000 left, 1001 right);
  // -3 when no box appeared.
  auto answerBox = [&](int button) -> long long {
    const auto run = scene.Start(asking);
    const HWND box = run->WaitForWindow(L"Soak", 1001);
    if (!box) return -3;
    ClickButton(box, button);
    return run->Wait(30000);
  };

  ASSERT_TRUE(WriteBytes(product, scene.probe));
  auto reportsWritten = [&scene] {
    const std::string text = ReadBytes(scene.report);
    int ends = 0;
    for (size_t at = text.find("\nend\n"); at != std::string::npos; at = text.find("\nend\n", at + 1)) ++ends;
    return ends;
  };

  int payloadRuns = 0;
  for (int i = 0; i < 300; ++i) {
    const DWORD payloadCode = static_cast<DWORD>((i * 337) % 3011);
    long long expected = 0, got = 0;
    std::string kind;
    switch (i % 10) {
      case 7:
        kind = "failing payload";
        expected = ERROR_FILE_NOT_FOUND;
        got = scene.Run(failing, L"-s");
        break;
      case 8:
        kind = "damaged package";
        expected = ERROR_INVALID_DATA;
        got = scene.Run(damaged, L"-s");
        break;
      case 9:
        kind = i % 20 == 9 ? "declined box" : "accepted box";
        expected = i % 20 == 9 ? ERROR_CANCELLED : 0;
        got = answerBox(i % 20 == 9 ? 1001 : 1000);
        payloadRuns += i % 20 == 9 ? 0 : 1;
        break;
      case 5:
      case 6:
        // The payload hands over to its engine in the folder (waited for)
        // or to a product elsewhere, which may keep the empty folder as its
        // current directory until it ends.
        kind = i % 10 == 5 ? "hand-over to the engine" : "hand-over to a product";
        expected = payloadCode;
        got = scene.Run(normal, L"-s", {{L"PROBE_EXIT_CODE", std::to_wstring(payloadCode)}, {L"PROBE_CHILD_DELAY", L"100"},
                                        {L"PROBE_START", i % 10 == 5 ? std::wstring(L"engine.exe") : product}});
        payloadRuns += 2;
        ASSERT_TRUE(i % 10 == 6 || reportsWritten() == payloadRuns) << "run " << i << ": the engine was not waited for";
        for (const std::wstring& left : LeftIn(temp)) ASSERT_TRUE(ListFolder(temp + L"\\" + left).empty()) << "run " << i;
        for (int wait = 0; wait < 200 && reportsWritten() < payloadRuns; ++wait) Sleep(20);
        for (const std::wstring& left : LeftIn(temp)) RemoveDirectoryW((temp + L"\\" + left).c_str());
        break;
      default:
        kind = "payload exit code " + std::to_string(payloadCode);
        expected = payloadCode;
        got = scene.Run(normal, L"-s", {{L"PROBE_EXIT_CODE", std::to_wstring(payloadCode)}});
        ++payloadRuns;
    }
    ASSERT_EQ(got, expected) << "run " << i << ": " << kind;
    ASSERT_EQ(LeftIn(temp), std::vector<std::wstring>()) << "run " << i << ": " << kind;
  }
  // Every payload that was due ran once, and no other.
  EXPECT_EQ(reportsWritten(), payloadRuns);
}
