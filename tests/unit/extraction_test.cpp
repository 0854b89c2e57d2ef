// Extraction into real folders under a TEMP of the test's own.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/tobrin_dlg.h"
#include "format/package_bytes.h"
#include "extract/extract_package.h"
#include "extract/folder_security.h"
#include "extract/long_path.h"
#include "extract/handle_closer.h"
#include "run/delete_folder.h"
#include "run/payload_file.h"
#include "run/run_payload.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using namespace testing_support;
using nsTobrin::FileFromBytes;
using nsTobrin::kRootGroupName;
using nsTobrin::WriterGroup;

namespace {

// A program file: a small image with a package bound to it.
std::wstring MakeProgram(const TempFolder& work, const std::vector<WriterGroup>& groups, Packing packing = Packing::Stored) {
  const std::wstring path = work / L"p.exe";
  EXPECT_TRUE(WriteBytes(path, package_bytes::StandInImage(512)) && AppendPackageTo(path, groups, packing));
  return path;
}

class Extraction : public ::testing::Test {
 protected:
  // Whatever a test extracted, it removed again.
  void TearDown() override { EXPECT_EQ(ListFolder(temp.Path()), std::vector<std::wstring>()); }
  TempFolder work{L"x"};
  TempFolder temp{L"temp"};
  EnvironmentGuard tempVariable{L"TEMP", temp.Path()};
};

// A window that counts the progress messages it gets.
struct ProgressSpy {
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* spy = reinterpret_cast<ProgressSpy*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == PBM_STEPIT) ++spy->steps;
    if (message == PBM_GETPOS) ++spy->queries;
    if (message == PBM_SETPOS) spy->finalPositions.push_back(static_cast<int>(wParam));
    return CallWindowProcW(spy->original, window, message, wParam, lParam);
  }
  ProgressSpy() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    window = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
    SendMessageW(window, PBM_SETRANGE32, 0, 1000);
    SendMessageW(window, PBM_SETSTEP, 1, 0);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
  }
  ~ProgressSpy() { DestroyWindow(window); }
  HWND window = nullptr;
  WNDPROC original = nullptr;
  int steps = 0, queries = 0;
  std::vector<int> finalPositions;
};

}  // namespace

class ExtractionOfEitherLayout : public Extraction, public ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(StoredAndCompressed, ExtractionOfEitherLayout, ::testing::Bool());

TEST_P(ExtractionOfEitherLayout, WritesEveryFileWhereItBelongs) {
  const std::wstring program = MakeProgram(work, {
      {U16(L"a\\b"), {FileFromBytes(u"inner.txt", "inner")}},
      {kRootGroupName, {FileFromBytes(u"AssistFile.ini", "[ParamOption]"), FileFromBytes(u"zero.bin", ""),
                        FileFromBytes(u"twice.txt", "old"), FileFromBytes(u"twice.txt", "new"),
                        FileFromBytes(u"sub\\x.txt", "nested"), FileFromBytes(u"filler.txt", std::string(4000, 'f'))}},
      {u"a", {FileFromBytes(u"outer.txt", "outer")}},
      {u"Drivers", {}},
      {u"deep/er", {FileFromBytes(u"d.txt", "deep")}},
  }, GetParam() ? Packing::Compressed : Packing::Stored);
  CTobrinDlg dlg;
  ASSERT_TRUE(ExtractPackageFrom(program, dlg, false));
  EXPECT_TRUE(dlg.m_bExtracted);
  EXPECT_EQ(dlg.m_nExitCode, 0u);

  // The folder: TEMP, a backslash, a GUID in braces, a backslash.
  const std::wstring& folder = dlg.m_strExtractFolder;
  ASSERT_EQ(folder.size(), temp.Path().size() + 1 + 38 + 1);
  EXPECT_EQ(folder.compare(0, temp.Path().size() + 2, temp.Path() + L"\\{"), 0);
  EXPECT_EQ(folder.substr(folder.size() - 2), L"}\\");
  // In the registry form of a random GUID: upper-case digits, version 4.
  const std::wstring guid = folder.substr(temp.Path().size() + 2, 36);
  for (size_t i = 0; i < guid.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    EXPECT_TRUE(dash ? guid[i] == L'-' : iswxdigit(guid[i]) && !iswlower(guid[i])) << i;
  }
  EXPECT_EQ(guid[14], L'4');
  EXPECT_NE(wcschr(L"89AB", guid[19]), nullptr);
  EXPECT_EQ(ListFolder(temp.Path()).size(), 1u);

  const std::pair<const wchar_t*, const char*> files[] = {
      {L"AssistFile.ini", "[ParamOption]"}, {L"zero.bin", ""},          {L"twice.txt", "new"}, {L"sub\\x.txt", "nested"},
      {L"a\\outer.txt", "outer"},           {L"a\\b\\inner.txt", "inner"}, {L"deep\\er\\d.txt", "deep"}};
  for (const auto& [name, bytes] : files) {
    EXPECT_TRUE(Exists(folder + name)) << Utf8(name);
    EXPECT_EQ(ReadBytes(folder + name), bytes) << Utf8(name);
  }
  EXPECT_TRUE(Exists(folder + L"Drivers"));
  EXPECT_TRUE(ListFolder(folder + L"Drivers").empty());
  // The root group has no folder of its own.
  EXPECT_FALSE(Exists(folder + std::wstring(kRootGroupName.begin(), kRootGroupName.end())));

  EXPECT_TRUE(DeleteExtractFolder(folder));
}

TEST_F(Extraction, AnElevatedRunsFolderIsClosedToEveryoneElse) {
  // Wine runs every program elevated and keeps no access list on the disk:
  // what it reads back is the one the folder's Unix mode allows, so a folder
  // made with the default security shows an entry for Everyone.
  ASSERT_TRUE(IsProcessElevated());
  const std::wstring program = MakeProgram(work, {{kRootGroupName, {FileFromBytes(u"f", "1")}}});
  CTobrinDlg dlg;
  ASSERT_TRUE(ExtractPackageFrom(program, dlg, false));
  std::vector<BYTE> descriptor(65536);
  DWORD needed = 0;
  ASSERT_TRUE(GetFileSecurityW(dlg.m_strExtractFolder.c_str(), OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                               descriptor.data(), static_cast<DWORD>(descriptor.size()), &needed));
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL present = FALSE, defaulted = FALSE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted));
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.data(), &present, &dacl, &defaulted));
  ASSERT_TRUE(present && dacl);
  BYTE system[SECURITY_MAX_SID_SIZE], administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(system);
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
  size = sizeof(administrators);
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    PSID sid = &ace->SidStart;
    EXPECT_TRUE(EqualSid(sid, system) || EqualSid(sid, administrators) || (owner && EqualSid(sid, owner)))
        << "entry " << i << " grants " << std::hex << ace->Mask << " to someone else";
  }
  EXPECT_TRUE(DeleteExtractFolder(dlg.m_strExtractFolder));
}

// A TEMP that ends in a backslash is the end-to-end test's unusual places;
// every run a folder of its own, the random name above and six runs at once.
TEST_F(Extraction, TempMissingOrNotAFullPath) {
  const std::wstring program = MakeProgram(work, {{kRootGroupName, {FileFromBytes(u"f", "1")}}});
  {
    // Without TEMP nothing is made anywhere, the current folder included.
    EnvironmentGuard none(L"TEMP", L"");
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    SetCurrentDirectoryW(work.Path().c_str());
    CTobrinDlg dlg;
    EXPECT_FALSE(ExtractPackageFrom(program, dlg, false));
    SetCurrentDirectoryW(cwd);
    EXPECT_EQ(dlg.m_nExitCode, static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
    EXPECT_TRUE(dlg.m_strExtractFolder.empty());
    EXPECT_FALSE(dlg.m_bExtracted);
    EXPECT_EQ(ListFolder(work.Path()), std::vector<std::wstring>{L"p.exe"});
  }
  {
    EnvironmentGuard relative(L"TEMP", L"relative\\tmp");
    CTobrinDlg dlg;
    EXPECT_FALSE(ExtractPackageFrom(program, dlg, false));
    EXPECT_EQ(dlg.m_nExitCode, static_cast<DWORD>(ERROR_BAD_PATHNAME));
    EXPECT_TRUE(dlg.m_strExtractFolder.empty());
  }
  {
    // A path with no full form is an error the run can report, never 0:
    // an empty one is refused without the system naming an error.
    SetLastError(0);
    EXPECT_TRUE(ToLongPath(L"").empty());
    EXPECT_NE(GetLastError(), 0u);
  }
}

// A package cut short (every refusal of the reader takes that one way) is
// the soak test's damaged run: its exit code, and nothing left in TEMP.
TEST_F(Extraction, AMissingFileIsNoPackage) {
  CTobrinDlg missing;
  EXPECT_FALSE(ExtractPackageFrom(work / L"nothing.exe", missing, false));
  EXPECT_NE(missing.m_nExitCode, 0u);
}

#ifndef _WIN64
TEST_F(Extraction, WhatCannotBeAllocatedIsNotDamage) {
  // A 32-bit process whose free addresses all lie in ranges smaller than
  // 32 MiB (1 MiB for the stored package): a sound, sealed compressed
  // package's stream that asks for the largest window the runner allows, or
  // a stored package's 1 MiB pieces, cannot have their memory. Out of memory
  // (8), not damage, and no end of the process.
  const std::wstring compressed = work / L"z.exe";
  ASSERT_TRUE(WriteBytes(compressed, package_bytes::CompressedBound(
                                         package_bytes::StandInImage(100),
                                         package_bytes::Records(1).Group(kRootGroupName, 1).File(u"f", 2).Bytes(),
                                         package_bytes::RawFrame("xy", 26))));
  const std::wstring stored = MakeProgram(work, {{kRootGroupName, {FileFromBytes(u"f", "xy")}}}, Packing::Sealed);
  for (const auto& run : {std::make_pair(compressed, SIZE_T{32} << 20), std::make_pair(stored, SIZE_T{1} << 20)}) {
    std::vector<void*> reserved;
    reserved.reserve(5000);
    for (SIZE_T size = SIZE_T{256} << 20; size >= run.second; size /= 2)
      while (reserved.size() < reserved.capacity())
        if (void* range = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
          reserved.push_back(range);
        else
          break;
    CTobrinDlg dlg;
    const bool extracted = ExtractPackageFrom(run.first, dlg, false);
    for (void* range : reserved) VirtualFree(range, 0, MEM_RELEASE);
    EXPECT_FALSE(extracted);
    EXPECT_EQ(dlg.m_nExitCode, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    ASSERT_FALSE(dlg.m_strExtractFolder.empty());
    EXPECT_TRUE(DeleteExtractFolder(dlg.m_strExtractFolder));
    EXPECT_TRUE(ListFolder(temp.Path()).empty());
  }
}
#endif

TEST_P(ExtractionOfEitherLayout, AFileThatCannotBeWrittenFailsTheExtraction) {
  // Group "A" sorts before the root group and makes a folder A; the root
  // group's file A then cannot be created.
  const std::wstring program = MakeProgram(work, {
      {kRootGroupName, {FileFromBytes(u"A", "file"), FileFromBytes(u"later.txt", std::string(5000, 'x'))}},
      {u"A", {FileFromBytes(u"inside.txt", std::string(5000, 'x'))}},
  }, GetParam() ? Packing::Compressed : Packing::Stored);
  CTobrinDlg dlg;
  EXPECT_FALSE(ExtractPackageFrom(program, dlg, false));
  EXPECT_FALSE(dlg.m_bExtracted);
  EXPECT_NE(dlg.m_nExitCode, 0u);
  ASSERT_FALSE(dlg.m_strExtractFolder.empty());
  EXPECT_FALSE(Exists(dlg.m_strExtractFolder + L"later.txt"));
  EXPECT_TRUE(DeleteExtractFolder(dlg.m_strExtractFolder));
}

TEST_P(ExtractionOfEitherLayout, LargeFilesArriveWhole) {
  std::string big(40u << 20, '\0');
  for (size_t i = 0; i < big.size(); i += 4096) big[i] = static_cast<char>(i / 4096);
  big.back() = 'e';
  // Sealed: the digest of forty pieces, hashed while they are written, must
  // come out as the packer's.
  const std::wstring program = MakeProgram(work, {{kRootGroupName, {FileFromBytes(u"big.bin", big), FileFromBytes(u"tail", "t")}}},
                                           GetParam() ? Packing::Compressed : Packing::Sealed);
  CTobrinDlg dlg;
  ASSERT_TRUE(ExtractPackageFrom(program, dlg, false));
  EXPECT_TRUE(ReadBytes(dlg.m_strExtractFolder + L"big.bin") == big);
  EXPECT_EQ(ReadBytes(dlg.m_strExtractFolder + L"tail"), "t");
  DeleteExtractFolder(dlg.m_strExtractFolder);
}

TEST_F(Extraction, ProgressStepsPerFileUpTo900ThenFills) {
  std::vector<nsTobrin::WriterFile> files;
  for (int i = 0; i < 950; ++i) files.push_back(FileFromBytes(U16(L"f" + std::to_wstring(i)), ""));
  const std::wstring program = MakeProgram(work, {{kRootGroupName, files}});
  // Reported; not reported, when the bar gets no message at all; cancelled,
  // when the extraction stops before the next file and the bar still fills.
  const struct {
    bool progress, cancel;
    int steps, queries;  // -1: not counted
    std::vector<int> finalPositions;
  } cases[] = {{true, false, 900, 950, {1000}}, {false, false, 0, 0, {}}, {true, true, 0, -1, {1000}}};
  for (const auto& c : cases) {
    ProgressSpy spy;
    CTobrinDlg dlg;
    dlg.m_progress.m_hWnd = spy.window;
    dlg.m_bCancelRequested = c.cancel;
    EXPECT_EQ(ExtractPackageFrom(program, dlg, c.progress), !c.cancel) << c.progress << c.cancel;
    EXPECT_EQ(dlg.m_nExitCode, c.cancel ? static_cast<DWORD>(ERROR_CANCELLED) : 0u);
    EXPECT_EQ(spy.steps, c.steps);
    EXPECT_EQ(spy.queries, c.queries < 0 ? spy.queries : c.queries);
    EXPECT_EQ(spy.finalPositions, c.finalPositions);
    if (c.cancel) {
      EXPECT_TRUE(ListFolder(dlg.m_strExtractFolder).empty());
    }
    DeleteExtractFolder(dlg.m_strExtractFolder);
  }
}

TEST_F(Extraction, GroupsNestedBeyondMaxPath) {
  std::wstring group;
  while (group.size() < 300) group += (group.empty() ? L"" : L"\\") + std::wstring(40, L'g') + std::to_wstring(group.size());
  const std::wstring program = MakeProgram(work, {{U16(group), {FileFromBytes(u"deep.txt", "deep")}},
                                                 {kRootGroupName, {FileFromBytes(u"top.txt", "top")}}});
  CTobrinDlg dlg;
  ASSERT_TRUE(ExtractPackageFrom(program, dlg, false));
  const std::wstring deepFile = L"\\\\?\\" + dlg.m_strExtractFolder + group + L"\\deep.txt";
  EXPECT_GT(deepFile.size(), static_cast<size_t>(MAX_PATH));
  EXPECT_EQ(ReadBytes(deepFile), "deep");
  EXPECT_TRUE(DeleteExtractFolder(dlg.m_strExtractFolder));
}

TEST_P(ExtractionOfEitherLayout, ThePayloadMustBeThePackagesOwn) {
  const std::string payload(150000, 'p');
  const std::wstring program = MakeProgram(work, {{kRootGroupName, {FileFromBytes(u"setup.exe", "first"), FileFromBytes(u"setup.exe", payload)}},
                                                  {u"Tools", {FileFromBytes(u"tool.exe", "tool")}}},
                                           GetParam() ? Packing::Compressed : Packing::Stored);
  CTobrinDlg dlg;
  ASSERT_TRUE(ExtractPackageFrom(program, dlg, false));
  const std::wstring& folder = dlg.m_strExtractFolder;
  nsTobrin::KernelHandle held;
  // Held as the run holds it: at the path its command names.
  const auto hold = [&](const std::wstring& group, const std::wstring& name,
                        const nsTobrin::WrittenFiles& written) {
    return HoldPayloadFile(program, BuildPayloadCommand(ExtractFolder(folder), group, name, L"", false, L"", L""), group,
                           name, written, held);
  };
  const auto holdAsRun = [&](const std::wstring& group, const std::wstring& name) {
    return hold(group, name, dlg.m_writtenFiles);
  };
  // The later of two entries of one name is the file on disk; a path below
  // the folder, in any letter case, finds the file as Windows does.
  for (const auto& [group, name] : {std::pair{L"", L"setup.exe"}, {L"Tools", L"tool.exe"}, {L"", L"tOOLS/TOOL.exe"}}) {
    EXPECT_EQ(holdAsRun(group, name), 0u) << Utf8(name);
    EXPECT_TRUE(held.Valid()) << Utf8(name);
  }
  // Of a compressed package, the file must be the one this run wrote.
  EXPECT_EQ(hold(L"Tools", L"tool.exe", nsTobrin::WrittenFiles{}),
            GetParam() ? static_cast<DWORD>(ERROR_INVALID_DATA) : 0u);
  held.Reset();
  ASSERT_TRUE(WriteBytes(folder + L"Tools\\tool.exe", "evil"));
  EXPECT_EQ(holdAsRun(L"", L"TOOLS\\tool.exe"), static_cast<DWORD>(ERROR_INVALID_DATA));
  // A file there that no entry names is not the package's.
  ASSERT_TRUE(WriteBytes(folder + L"planted.exe", "evil"));
  EXPECT_EQ(holdAsRun(L"", L"planted.exe"), static_cast<DWORD>(ERROR_INVALID_DATA));
  // Swapped before it was held: one byte changed.
  ASSERT_TRUE(WriteBytes(folder + L"setup.exe", payload.substr(1) + "x"));
  EXPECT_EQ(holdAsRun(L"", L"setup.exe"), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_FALSE(held.Valid());
  // Not in the package: nothing to confirm, the start fails as it would have.
  EXPECT_EQ(holdAsRun(L"", L"absent.exe"), 0u);
  EXPECT_FALSE(held.Valid());
  // The run compares with the package of its own file, which this test
  // program does not carry: the payload is not started, the refusal is the
  // run's exit code, and the folder goes all the same.
  ASSERT_TRUE(WriteBytes(folder + L"AssistFile.ini", "[ParamOption]\r\nExecuteFileName=setup.exe\r\n"));
  EXPECT_TRUE(RunPayload(dlg, L""));
  EXPECT_EQ(dlg.m_nExitCode, static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_FALSE(Exists(folder));
}

// Files written are closed on other threads: Finish returns only when every
// handle given is closed, and reports a failed close once.
TEST(HandleCloser, FinishWaitsForEveryCloseAndReportsAFailure) {
  TempFolder work(L"closer");
  for (int threads : {0, 2}) {
    HandleCloser closer(threads);
    std::vector<std::wstring> paths;
    for (int i = 0; i < 200; ++i) {
      paths.push_back(work / (L"f" + std::to_wstring(threads) + L"_" + std::to_wstring(i)));
      const HANDLE file = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      closer.Close(file);
    }
    EXPECT_EQ(closer.Finish(), 0u) << threads;
    // Opened without sharing, each would fail while a handle is still open.
    for (const std::wstring& path : paths) EXPECT_TRUE(DeleteFileW(path.c_str())) << threads;
    closer.Close(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x7ffc)));
    EXPECT_EQ(closer.Finish(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << threads;
    EXPECT_EQ(closer.Finish(), 0u) << threads;
  }
}
