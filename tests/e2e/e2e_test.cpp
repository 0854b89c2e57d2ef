// End to end: a packed runner started as a process of its own, with the
// probe as its payload. Every run gets a TEMP of its own, which must hold
// only its sentinel again when the runner has ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "common/win_owners.h"
#include "contract/little_endian.h"
#include "package/package_seal.h"
#include "format/package_bytes.h"
#include "unit/test_support.h"

using namespace testing_support;
using nsTobrin::FileFromBytes;
using nsTobrin::U32At;
using nsTobrin::kRootGroupName;
using nsTobrin::WriterGroup;

namespace {

struct ProbeRun {
  std::map<std::string, std::string> values;  // the last value of each key
  std::map<std::string, std::vector<std::string>> lists;  // every value of each key, in order
};

std::vector<ProbeRun> ParseReport(const std::string& text) {
  std::vector<ProbeRun> runs;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "begin") runs.emplace_back();
    if (runs.empty()) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    runs.back().lists[key].push_back(value);
    runs.back().values[key] = value;
  }
  return runs;
}

class EndToEnd : public ::testing::Test, public RunnerScene {
 protected:
  EndToEnd() : RunnerScene(L"e2e") {}
  using RunnerScene::Run;
  // Whatever a test ran, its TEMP holds nothing but the sentinel afterwards.
  void TearDown() override { EXPECT_EQ(LeftIn(temp), std::vector<std::wstring>()); }

  std::wstring PackProbe(const std::string& assist = AssistFile(), const std::wstring& group = L"") {
    if (group.empty()) return Pack({ProbeRoot({}, assist)});
    return Pack({{kRootGroupName, {FileFromBytes(u"AssistFile.ini", assist)}}, {U16(group), {FileFromBytes(u"probe.exe", probe)}}});
  }

  std::vector<ProbeRun> Runs() { return ParseReport(ReadBytes(report)); }

  // The folder the payload ran from, as the probe saw it.
  static std::string FolderOf(const ProbeRun& run) {
    const std::string module = run.values.at("module");
    return module.substr(0, module.rfind('\\'));
  }
};

}  // namespace

TEST_F(EndToEnd, SilentByRegistryRunsTheGroupsPayloadWithParamsAndOwnArguments) {
  RegistryValueGuard silent(HKEY_LOCAL_MACHINE, kProductKey, L"SilentExecution");
  silent.SetDword(1);
  EXPECT_EQ(Run(PackProbe(AssistFile("probe.exe", "/log=C:\\logs\\x.txt", "/beta"), L"Tools\\bin"), L"one \"two words\""), 0);
  const auto runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  const std::string module = runs[0].values.at("module");
  EXPECT_EQ(module.substr(module.size() - 20), "\\Tools\\bin\\probe.exe");
  EXPECT_EQ(runs[0].values.at("cmdline"), module + " /log=C:\\logs\\x.txt /beta one \"two words\"");
  // The working directory is the payload's folder, whatever the arguments hold.
  EXPECT_EQ(runs[0].values.at("cwd"), FolderOf(runs[0]));
}

TEST_F(EndToEnd, ExitCodesTellWhatHappened) {
  // The payload's own code is the hand-over test's; a payload that cannot
  // start (the error of starting it) the soak test's. A file to start
  // outside the folder (where a program is planted beside TEMP), or one
  // whose path leaves and comes back in, is a damaged package.
  ASSERT_TRUE(WriteBytes(work / L"planted.exe", probe));
  for (const char* execute : {"..\\..\\planted.exe", "sub\\..\\probe.exe"})
    EXPECT_EQ(Run(PackProbe(AssistFile(execute)), L"-s"), ERROR_INVALID_DATA) << execute;
  // A bare runner: nothing starts, nothing is left.
  EXPECT_EQ(Run(runner, L"-s"), ERROR_INVALID_DATA);
  EXPECT_TRUE(Runs().empty());
}

TEST_F(EndToEnd, ARunWithoutABoxLeavesTheCatalogueUnread) {
  // The box is asked for but the run is silent, or the run shows windows but
  // asks for no box: either way the system's XML component never comes into
  // the runner, so no catalogue can hold the payload up.
  const auto catalogue = FileFromBytes(u"MessageInfo.xml", "<MessageInfo><ENG>hello</ENG></MessageInfo>");
  const WriterGroup silent = ProbeRoot({FileFromBytes(u"MessageSetting.ini", "[Setting]\r\nIsShowMessageBox=1\r\n"), catalogue});
  EXPECT_EQ(Run(Pack({silent}, L"silent.exe"), L"-s", {{L"PROBE_PARENT_MODULES", L"1"}}), 0);
  EXPECT_EQ(Run(Pack({ProbeRoot({catalogue})}, L"nobox.exe"), L"", {{L"PROBE_PARENT_MODULES", L"1"}}), 0);
  const auto runs = Runs();
  ASSERT_EQ(runs.size(), 2u);
  for (const ProbeRun& run : runs) {
    const std::vector<std::string>& modules = run.lists.at("parent-module");
    EXPECT_NE(std::find(modules.begin(), modules.end(), "kernel32.dll"), modules.end()) << "no module list";
    EXPECT_EQ(std::find(modules.begin(), modules.end(), "msxml3.dll"), modules.end());
  }
  // The silent run loads no window library either; the run with windows
  // shows that the list would name them.
  const std::vector<std::string>&silentModules = runs[0].lists.at("parent-module"), &shownModules = runs[1].lists.at("parent-module");
  for (const char* windows : {"user32.dll", "comctl32.dll"}) {
    EXPECT_EQ(std::find(silentModules.begin(), silentModules.end(), windows), silentModules.end()) << windows;
    EXPECT_NE(std::find(shownModules.begin(), shownModules.end(), windows), shownModules.end()) << windows;
  }
}

TEST_F(EndToEnd, UnusualPlaces) {
  // A TEMP of Cyrillic and CJK letters with blanks, ending in a backslash,
  // with a program beside it that an unquoted path would start. AssistFile.ini
  // in UTF-16 with its byte-order mark, as the platform's profile reader
  // wants for text beyond the ANSI code page.
  temp = work / L"\u0422\u0435\u043c\u043f \u6f22\u5b57 temp";
  tempVariable = temp + L"\\";
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr) && PlantSentinel(temp));
  ASSERT_TRUE(WriteBytes(work / L"\u0422\u0435\u043c\u043f.exe", probe));
  const std::wstring packed = PackProbe(
      package_bytes::Utf16Le(L"[ParamOption]\r\nExecuteFileName=probe.exe\r\nParamA=\u00e9t\u00e9 \u0416\r\n"));
  EXPECT_EQ(Run(packed, L"-s"), 0);
  const auto runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  // The quoted path, ParamA, the empty ParamB, the program's own "-s".
  // TEMP ends in a backslash, so the folder path holds two in a row, and
  // so does the root group's: the folder's backslash and the separator.
  const std::string folder = FolderOf(runs[0]);
  const std::string path = Utf8(temp) + "\\\\" + folder.substr(folder.rfind('\\') + 1) + "\\\\probe.exe";
  EXPECT_EQ(runs[0].values.at("cmdline"), "\"" + path + "\" \xc3\xa9t\xc3\xa9 \xd0\x96  -s");
  EXPECT_EQ(runs[0].values.at("cwd") + (runs[0].values.at("cwd").back() == '\\' ? "" : "\\"), folder + "\\");

  // The runner itself at a path of 259 characters, the longest a process
  // can be started from here (the system refuses longer ones), and longer
  // than any fixed buffer of 256 would hold.
  std::wstring deep = work.Path();
  const std::wstring name = L"\\runner.exe";
  while (deep.size() + name.size() < MAX_PATH - 1) {
    deep += L"\\" + std::wstring(std::min<size_t>(50, MAX_PATH - 2 - deep.size() - name.size()), L'd');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
  }
  ASSERT_EQ((deep + name).size(), static_cast<size_t>(MAX_PATH - 1));
  ASSERT_TRUE(CopyFileW(packed.c_str(), (deep + name).c_str(), FALSE));
  EXPECT_EQ(Run(deep + name, L"-s"), 0);
  EXPECT_EQ(Runs().size(), 2u);
}

TEST_F(EndToEnd, WaitsOnlyForProgramsStartedFromItsFolder) {
  // The probe as its own payload, an engine copy of it and a data file.
  const std::wstring packed =
      Pack({ProbeRoot({FileFromBytes(u"engine.exe", probe)}), {u"data", {FileFromBytes(u"payload.bin", std::string(200000, 'd'))}}});
  // The engine, started from the folder, reads every file after 2 s.
  EXPECT_EQ(Run(packed, L"-s", {{L"PROBE_EXIT_CODE", L"3010"}, {L"PROBE_START", L"engine.exe"}, {L"PROBE_CHILD_DELAY", L"2000"}}),
            3010);
  auto runs = Runs();
  ASSERT_EQ(runs.size(), 2u);  // it had ended before the runner did
  EXPECT_EQ(runs[1].values.at("injob"), "1");
  std::vector<std::string> reads = runs[1].lists.at("read");
  std::sort(reads.begin(), reads.end());
  EXPECT_EQ(reads, (std::vector<std::string>{"AssistFile.ini:" + std::to_string(AssistFile().size()),
                                             "data\\payload.bin:200000", "engine.exe:" + std::to_string(probe.size()),
                                             "probe.exe:" + std::to_string(probe.size())}));
  EXPECT_EQ(LeftIn(temp), std::vector<std::wstring>());

  // A product installed elsewhere, standing in the folder as its current
  // directory: the runner returns at once, leaving at most the empty folder.
  ASSERT_TRUE(WriteBytes(work / L"product.exe", probe));
  EXPECT_EQ(Run(packed, L"-s", {{L"PROBE_START", work / L"product.exe"}, {L"PROBE_CHILD_DELAY", L"4000"}}), 0);
  const ULONGLONG ended = GetTickCount64();
  runs = Runs();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_LT(ended - std::stoull(runs[2].values.at("tick")), 2000u);
  const std::vector<std::wstring> left = LeftIn(temp);
  EXPECT_LE(left.size(), 1u);
  for (const std::wstring& folder : left) EXPECT_TRUE(ListFolder(temp + L"\\" + folder).empty());
  for (int i = 0; i < 300 && Runs().size() < 4; ++i) Sleep(50);  // the product ends
  for (const std::wstring& folder : left) RemoveDirectoryW((temp + L"\\" + folder).c_str());

  // An engine that asks to break away from the job runs outside it: the
  // runner does not wait for it.
  EXPECT_EQ(Run(packed, L"-s", {{L"PROBE_START", L"engine.exe"}, {L"PROBE_BREAKAWAY", L"1"}}), 0);
  for (int i = 0; i < 300 && Runs().size() < 6; ++i) Sleep(50);
  runs = Runs();
  ASSERT_EQ(runs.size(), 6u) << "the engine did not start";
  EXPECT_EQ(runs[5].values.at("injob"), "0");
}

TEST_F(EndToEnd, ScriptPayloadsRunAndWhatTheyStartKeepsTheFiles) {
  // In a folder with a blank: a script that hands its work to a second one
  // through "start" and ends with its own code; the second looks for a file
  // of the folder once the first has ended. Under the 32-bit runner also
  // through the 64-bit shell, whose command line Wine does not let it read.
  RegistryValueGuard silent(HKEY_LOCAL_MACHINE, kProductKey, L"SilentExecution");
  silent.SetDword(1);  // no "-s" after the arguments the scripts hand on
  const std::vector<nsTobrin::WriterFile> files = {
      FileFromBytes(u"run.cmd", "@echo off\r\nstart \"\" %SECOND_SHELL% /c \"%~dp0second.cmd\"\r\nexit /b 4\r\n"),
      FileFromBytes(u"second.cmd",
                    "@echo off\r\nping -n 3 127.0.0.1 >nul\r\nif exist \"%~dp0data.bin\" (echo kept>>\"%PROBE_REPORT%\")"
                    " else (echo GONE>>\"%PROBE_REPORT%\")\r\n"),
      FileFromBytes(u"data.bin", "d"),
      // The recipe for an installer database.
      FileFromBytes(u"install.cmd", "@msiexec /i \"%~dp0product.msi\" %*\r\n"),
      FileFromBytes(u"product.msi", "not a database")};
  const auto packScript = [&](const std::string& assist, const std::wstring& name) {
    return Pack({{kRootGroupName, {FileFromBytes(u"AssistFile.ini", assist)}}, {u"My Tools", files}}, name);
  };
  const std::wstring script = packScript(AssistFile("run.cmd"), L"script.exe");
  std::vector<std::wstring> shells = {L"cmd"};
  wchar_t windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  if (sizeof(void*) == 4) shells.push_back(windows + std::wstring(L"\\Sysnative\\cmd.exe"));
  for (const std::wstring& shell : shells) {
    DeleteFileW(report.c_str());
    EXPECT_EQ(Run(script, L"", {{L"SECOND_SHELL", shell}}), 4) << Utf8(shell);
    EXPECT_EQ(ReadBytes(report), "kept\r\n") << Utf8(shell);
  }

  // The installer's own code is the run's: the one it gives for that file.
  const std::wstring database = work / L"a b.msi";
  ASSERT_TRUE(WriteBytes(database, "not a database"));
  const long long expected = RunProgram(L"msiexec /i \"" + database + L"\" /qn", {});
  EXPECT_NE(expected, RunProgram(L"msiexec /i \"" + work / L"missing.msi" + L"\" /qn", {}));
  EXPECT_EQ(Run(packScript(AssistFile("install.cmd", "/qn"), L"database.exe"), L""), expected);
}

TEST_F(EndToEnd, SixRunsAtOnce) {
  const std::wstring packed = PackProbe();
  std::vector<std::unique_ptr<ChildProcess>> running;
  for (int i = 0; i < 6; ++i) running.push_back(Start(packed, L"-s", {{L"PROBE_EXIT_CODE", std::to_wstring(20 + i)}}));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(running[i]->Wait(60000), 20 + i) << "run " << i;
  std::set<std::string> folders;
  for (const ProbeRun& run : Runs()) folders.insert(FolderOf(run));
  EXPECT_EQ(folders.size(), 6u);
}

TEST_F(EndToEnd, ExtractionRootAndTempInEveryForm) {
  RegistryValueGuard root(HKEY_LOCAL_MACHINE, kProductKey, L"ExtractionRoot");
  const std::wstring policy = work / L"Policy root \u00c4\u00f6 \u0436";
  ASSERT_TRUE(CreateDirectoryW(policy.c_str(), nullptr) && PlantSentinel(policy));
  std::wstring longTemp = work.Path(), slashes = temp;
  while (longTemp.size() < 230) ASSERT_TRUE(CreateDirectoryW((longTemp += L"\\" + std::wstring(40, L'l')).c_str(), nullptr));
  ASSERT_TRUE(PlantSentinel(longTemp));
  wchar_t shortTemp[MAX_PATH];
  ASSERT_GT(GetShortPathNameW(longTemp.c_str(), shortTemp, MAX_PATH), 0u);
  std::replace(slashes.begin(), slashes.end(), L'\\', L'/');
  ASSERT_TRUE(WriteBytes(work / L"a file", "not a folder"));
  // A variable of the system's environment; PROBE_POLICY is only the
  // user's, which an elevated run does not take.
  RegistryValueGuard system(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
                            L"TOBRIN_TEST_ROOT");
  system.Set(REG_SZ, policy.c_str(), static_cast<DWORD>((policy.size() + 1) * sizeof(wchar_t)));
  const std::wstring packed = PackProbe();
  struct Case {
    DWORD type;
    std::wstring rootValue, tempValue, expected;
    bool usersOwn = false;  // TEMP instead in an elevated run
  } cases[] = {
      {REG_SZ, policy, temp, policy},
      {REG_EXPAND_SZ, L"%TOBRIN_TEST_ROOT%", temp, policy},
      {REG_EXPAND_SZ, L"%PROBE_POLICY%", temp, policy, true},
      {REG_SZ, policy + L" ", temp, policy},  // the system drops the blank
      {REG_SZ, policy, L"", policy},          // TEMP unset: not needed
      {REG_SZ, L"relative\\root", temp, temp},
      {REG_SZ, work / L"missing", temp, temp},
      {REG_SZ, work / L"a file", temp, temp},
      {REG_SZ, L"Z:\\proc", temp, temp},  // a folder in which none can be made (Wine's view of /proc)
      {REG_NONE, L"", slashes, temp},
      {REG_NONE, L"", L"\\\\?\\" + temp + L"\\", temp},
      {REG_NONE, L"", longTemp, shortTemp},  // too long to start a program below it
  };
  for (const Case& c : cases) {
    if (c.type == REG_NONE) root.Delete();
    else root.Set(c.type, c.rootValue.c_str(), static_cast<DWORD>((c.rootValue.size() + 1) * sizeof(wchar_t)));
    tempVariable = c.tempValue;
    EXPECT_EQ(Run(packed, L"-s", {{L"PROBE_POLICY", policy}, {L"TOBRIN_TEST_ROOT", policy}}), 0)
        << Utf8(c.rootValue + L" " + c.tempValue);
    const auto runs = Runs();
    ASSERT_EQ(runs.size(), static_cast<size_t>(&c - cases + 1)) << Utf8(c.rootValue + L" " + c.tempValue);
    const ProbeRun& run = runs.back();
    const std::wstring expected = c.usersOwn && run.values.at("elevated") == "1" ? temp : c.expected;
    const std::string folder = run.values.at("cwd");
    EXPECT_EQ(folder.compare(0, Utf8(expected).size() + 2, Utf8(expected) + "\\{"), 0) << folder;
    EXPECT_EQ(LeftIn(expected), std::vector<std::wstring>()) << folder;
  }
  EXPECT_EQ(Runs().size(), std::size(cases));
}

TEST_F(EndToEnd, ThePayloadCannotBeSwappedBeforeItsStart) {
  // The payload named by its bare name, and by a path below the folder in
  // other letters' case: held either way, and in a compressed package too.
  const std::vector<nsTobrin::WriterFile> box = QuestionFiles("<MessageInfo><ENG>Go on?</ENG></MessageInfo>");
  std::vector<nsTobrin::WriterFile> inBin = box;
  inBin.push_back(FileFromBytes(u"AssistFile.ini", AssistFile("BIN\\Probe.EXE")));
  const std::vector<WriterGroup> binGroups = {{kRootGroupName, inBin}, {u"Bin", {FileFromBytes(u"probe.exe", probe)}}};
  const std::tuple<std::wstring, std::vector<WriterGroup>, Packing> cases[] = {
      {L"probe.exe", {ProbeRoot(box)}, Packing::Stored},
      {L"Bin\\probe.exe", binGroups, Packing::Stored},
      {L"Bin\\probe.exe", binGroups, Packing::Compressed},
  };
  for (const auto& [file, groups, packing] : cases) {
    const auto run = Start(Pack(groups, L"runner.exe", packing));
    const HWND shown = run->WaitForWindow(L"Probe", 1001);
    ASSERT_TRUE(shown);
    // While the box waits, another program of the user tries to replace it.
    const std::vector<std::wstring> folders = LeftIn(temp);
    ASSERT_EQ(folders.size(), 1u);
    const std::wstring payload = temp + L"\\" + folders[0] + L"\\" + file;
    EXPECT_FALSE(WriteBytes(payload, "MZ swapped")) << Utf8(file);
    EXPECT_FALSE(MoveFileW(payload.c_str(), (payload + L".old").c_str())) << Utf8(file);
    ClickButton(shown, 1000);
    EXPECT_EQ(run->Wait(30000), 0) << Utf8(file);
  }
  EXPECT_EQ(Runs().size(), std::size(cases));
}

TEST_F(EndToEnd, APayloadHeldOpenForWritingIsNotStarted) {
  // The progress window stays a second after the extraction: long enough
  // for another program to open the payload for writing before the runner
  // holds it.
  const auto run = Start(PackProbe());
  nsTobrin::KernelHandle writer;
  for (int i = 0; i < 400 && !writer.Valid(); ++i) {
    const std::vector<std::wstring> folders = LeftIn(temp);
    if (!folders.empty())
      writer.Reset(CreateFileW((temp + L"\\" + folders[0] + L"\\probe.exe").c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!writer.Valid()) Sleep(5);
  }
  ASSERT_TRUE(writer.Valid());
  EXPECT_EQ(run->Wait(30000), ERROR_SHARING_VIOLATION);
  writer.Reset();
  EXPECT_TRUE(Runs().empty());
  // What the other program held open could not be deleted by the runner.
  for (const std::wstring& left : LeftIn(temp)) RemoveTreeForTest(temp + L"\\" + left);
}

namespace {

// Points the PE security directory of `program` at a certificate table.
void SetCertificateTable(std::string& program, std::uint32_t offset, std::uint32_t size) {
  const size_t optional = U32At(program, 0x3C) + 24;
  const size_t entry = optional + (program[optional] == 0x0B && program[optional + 1] == 0x02 ? 144 : 128);
  program = package_bytes::WithU32(package_bytes::WithU32(program, entry, offset), entry + 4, size);
}

}  // namespace

TEST_F(EndToEnd, SealedPackagesRunAndDamagedOnesNeverStart) {
  // The tests' writer seals only when asked; the packer seals by default.
  const std::string sealed = ReadBytes(Pack({ProbeRoot()}, L"sealed.exe", Packing::Sealed));
  const size_t package = U32At(sealed, 32);
  const size_t dataEnd = sealed.size() - nsTobrin::kSealRecordSize;
  ASSERT_EQ(sealed.compare(dataEnd, 8, nsTobrin::kSealMagic, 8), 0);
  ASSERT_EQ(sealed.substr(28, 4), "TbSe");
  auto flipped = [&](std::initializer_list<size_t> at, char bit = 1) { return package_bytes::Flipped(sealed, at, bit); };
  const size_t data = (package + dataEnd) / 2;

  // A certificate table after the seal (with a signer's padding to 8 bytes)
  // is what a signed program has; one that the data area or the seal runs
  // into is not covered by its signature.
  std::string signedAfter = sealed + std::string((8 - sealed.size() % 8) % 8, '\0');
  SetCertificateTable(signedAfter, static_cast<std::uint32_t>(signedAfter.size()), 16);
  signedAfter += std::string(16, '\x02');
  std::string hidden = sealed;
  SetCertificateTable(hidden, static_cast<std::uint32_t>(dataEnd - 16), 16 + nsTobrin::kSealRecordSize);

  // One set of packages, judged by the packer's verify and by the runner:
  // verify exits 0 exactly for those the runner runs. Where a changed size,
  // count or mark moves or loses the seal is the format test's.
  struct Case {
    const char* what;
    std::string bytes;
    long long code;
  };
  const Case cases[] = {
      {"sound", sealed, 0},
      {"signed after the seal", signedAfter, 0},
      {"a file's data", flipped({data}), ERROR_CRC},
      {"the digest", flipped({sealed.size() - 1}), ERROR_CRC},
      {"the seal's version", flipped({dataEnd + 8}), ERROR_INVALID_DATA},
      {"a table inside the data area", hidden, ERROR_INVALID_DATA},
  };
  const std::wstring packer = OwnFolder() + L"\\tobrin-pack.exe";
  size_t ran = 0;
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteBytes(work / L"case.exe", c.bytes));
    EXPECT_EQ(Run(work / L"case.exe", L"-s"), c.code) << c.what;
    EXPECT_EQ(RunProgram(L"\"" + packer + L"\" verify \"" + (work / L"case.exe") + L"\"", {}), c.code ? 1 : 0) << c.what;
    ran += c.code == 0;
    EXPECT_EQ(Runs().size(), ran) << c.what << ": only the sound packages started the payload";
  }
}

TEST_F(EndToEnd, CompressedPackagesRunWholeAndMalformedStreamsNeverStart) {
  const std::string noise = package_bytes::Noise(70000);
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i % 97) + "\r\n";
  const std::vector<WriterGroup> groups = {
      ProbeRoot({FileFromBytes(u"readme.txt", text), FileFromBytes(u"noise.bin", noise), FileFromBytes(u"empty.txt", ""),
                 FileFromBytes(u"Z\u00e4hler \u65e5\u672c.txt", "named")}),
      {u"Leer", {}},
      {u"sub", {FileFromBytes(u"copy.exe", probe)}}};
  const std::wstring packed = Pack(groups, L"compressed.exe", Packing::Compressed);
  EXPECT_EQ(Run(packed, L"-s"), 0);
  std::vector<ProbeRun> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  const std::vector<std::string>& files = runs[0].lists["file"];
  for (const std::string& expected :
       {"probe.exe:" + std::to_string(probe.size()), "readme.txt:" + std::to_string(text.size()), std::string("noise.bin:70000"),
        std::string("empty.txt:0"), std::string("Z\xC3\xA4hler \xE6\x97\xA5\xE6\x9C\xAC.txt:5"),
        "sub\\copy.exe:" + std::to_string(probe.size())})
    EXPECT_NE(std::find(files.begin(), files.end(), expected), files.end()) << expected;
  EXPECT_EQ(runs[0].lists["dir"], (std::vector<std::string>{"Leer", "sub"}));

  // A flipped byte of the stream: the seal shows the damage.
  const std::string bytes = ReadBytes(packed);
  ASSERT_TRUE(WriteBytes(work / L"damaged.exe", package_bytes::Flipped(bytes, {bytes.size() - nsTobrin::kSealRecordSize - 100}, 8)));
  EXPECT_EQ(Run(work / L"damaged.exe", L"-s"), ERROR_CRC);

  // Hand-made streams under a seal that matches: one that decodes into the
  // files runs; one that does not is a damaged package (every way a stream
  // can fail to decode is the format test's).
  const std::string assist = AssistFile(), content = probe + assist;
  const std::string records = package_bytes::Records(1)
                                  .Group(kRootGroupName, 2)
                                  .File(u"probe.exe", static_cast<std::uint32_t>(probe.size()))
                                  .File(u"AssistFile.ini", static_cast<std::uint32_t>(assist.size()))
                                  .Bytes();
  using package_bytes::RawFrame;
  const std::pair<const char*, std::string> streams[] = {{"sound", RawFrame(content)},
                                                         {"a byte more than the files", RawFrame(content + "x")}};
  for (const auto& [what, stream] : streams) {
    ASSERT_TRUE(WriteBytes(work / L"made.exe", package_bytes::CompressedBound(ReadBytes(runner), records, stream)));
    EXPECT_EQ(Run(work / L"made.exe", L"-s"), what == streams[0].first ? 0 : ERROR_INVALID_DATA) << what;
  }
  EXPECT_EQ(Runs().size(), 2u) << "only the sound packages started the payload";
}
