// The payload command, the launch and the removal of the extraction folder.
#include <gtest/gtest.h>

#include <thread>

#include "extract/long_path.h"
#include "run/delete_folder.h"
#include "run/launch.h"
#include "run/payload_command.h"
#include "unit/test_support.h"

using namespace nsTobrin;
using namespace testing_support;

TEST(PayloadCommand, PiecesInOrderAndQuotedWhenThePathHasABlank) {
  const std::wstring folder = L"C:\\T\\{G}\\";
  struct Case {
    const std::wstring& folder;
    const wchar_t *group, *file, *paramA;
    bool appendParamB;
    const wchar_t *paramB, *arguments, *commandLine, *workingDirectory;
  } const cases[] = {
      // The pieces in order with ParamB, the root group's doubled backslash, two
      // blanks for an empty ParamB and a quoted path are the end-to-end test's.
      // ParamB only when asked for; a backslash in an argument does not move
      // the working directory.
      {folder, L"Tools", L"p.exe", L"/log=C:\\logs\\a.txt", false, L"unused", L"",
       L"C:\\T\\{G}\\Tools\\p.exe /log=C:\\logs\\a.txt", L"C:\\T\\{G}\\Tools"},
      // A tab is a blank too; nothing follows the path when no piece is there.
      {folder, L"My\tTools", L"a.exe", L"", false, L"", L"", L"\"C:\\T\\{G}\\My\tTools\\a.exe\"", L"C:\\T\\{G}\\My\tTools"},
  };
  for (const Case& c : cases) {
    const PayloadCommand command =
        BuildPayloadCommand(ExtractFolder(c.folder), c.group, c.file, c.paramA, c.appendParamB, c.paramB, c.arguments);
    EXPECT_EQ(command.commandLine, c.commandLine);
    EXPECT_EQ(command.workingDirectory, c.workingDirectory) << Utf8(c.commandLine);
  }
}

TEST(PayloadCommand, TheFirstGroupInOrdinalOrderHoldsThePayload) {
  PackageDirectory directory;
  directory[u"b"] = {{u"setup.exe", 1}};
  directory[u"Z"] = {{u"other.exe", 1}, {u"setup.exe", 1}};
  directory[nsTobrin::kRootGroupName] = {{u"root.exe", 1}};
  EXPECT_EQ(FindPayloadGroup(directory, L"setup.exe"), L"Z");
  EXPECT_EQ(FindPayloadGroup(directory, L"root.exe"), L"");
  EXPECT_EQ(FindPayloadGroup(directory, L"SETUP.EXE"), L"");  // case-sensitive
}

// A start that works, its wait and its exit code are the end-to-end test's.
TEST(Launch, AFailedStartLetsTheHeldFileGo) {
  TempFolder folder(L"launch");
  DWORD result = 0;
  const std::wstring probe = OwnFolder() + L"\\probe.exe";
  nsTobrin::KernelHandle held(CreateFileW(probe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.Valid());
  // Not started: the error of the start is the thread's last error.
  const std::wstring missing = folder / L"missing.exe";
  const bool started = LaunchAndWait({missing, folder.Path(), missing, ToLongPath(missing)}, folder.Path(), held, result);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(started);
  EXPECT_FALSE(held.Valid());
}

TEST(Launch, APayloadThatCannotBeResumedIsEndedNotWaitedFor) {
  std::wstring command = L"\"" + OwnFolder() + L"\\probe.exe\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup, &process));
  const nsTobrin::KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
  // A handle to its thread without the right to resume it.
  const nsTobrin::KernelHandle weak(OpenThread(SYNCHRONIZE, FALSE, process.dwThreadId));
  ASSERT_TRUE(weak.Valid());
  EXPECT_EQ(ResumeOrEnd(processHandle.Get(), weak.Get()), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(WaitForSingleObject(processHandle.Get(), 0), WAIT_OBJECT_0) << "left suspended";
  TerminateProcess(processHandle.Get(), 1);
}

TEST(Launch, OnlyAStartLostBeforeItRanIsTriedAgain) {
  for (const auto& [answers, calls] : {std::pair{std::vector<DWORD>{ERROR_INTERNAL_ERROR, ERROR_INTERNAL_ERROR, 0}, 3},
                                       std::pair{std::vector<DWORD>{ERROR_FILE_NOT_FOUND, 0}, 1},
                                       std::pair{std::vector<DWORD>(4, ERROR_INTERNAL_ERROR), 4}}) {
    int made = 0;
    EXPECT_EQ(StartRetryingLostProcess([&, &answers = answers] { return answers[made++]; }), answers[calls - 1]);
    EXPECT_EQ(made, calls);
  }
}

TEST(Launch, WhatLiesInsideTheFolder) {
  TempFolder base(L"inside");
  const std::wstring folder = base / L"{A long folder name}";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\setup.exe", "x"));
  wchar_t shortName[MAX_PATH];
  ASSERT_GT(GetShortPathNameW((folder + L"\\setup.exe").c_str(), shortName, MAX_PATH), 0u);
  EXPECT_TRUE(IsInsideFolder(shortName, folder + L"\\"));
  EXPECT_TRUE(IsInsideFolder(base / L"{A LONG folder name}/sub//engine.exe", folder));
  // A sibling whose name begins with the folder's is outside.
  EXPECT_FALSE(IsInsideFolder(folder + L"x\\setup.exe", folder + L"\\"));
}

TEST(DeleteFolder, ALinkOrJunctionIsRemovedNeverFollowed) {
  // Wine makes no reparse point (its CreateSymbolicLinkW and the junction's
  // FSCTL_SET_REPARSE_POINT make nothing; a Unix link shows as a plain
  // folder), so the rule is checked on the attributes a search reports.
  // Plain files and folders: every removal's, such as the extraction test's trees.
  EXPECT_EQ(RemovalOf(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT), EntryRemoval::RemoveFolder);
  EXPECT_EQ(RemovalOf(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_ARCHIVE), EntryRemoval::DeleteFile);
}

// Trees deeper than MAX_PATH are the extraction test's.
TEST(DeleteFolder, RemovesReadOnlyFilesAndWaitsBrieflyForOneInUse) {
  TempFolder base(L"del");
  EXPECT_FALSE(DeleteExtractFolder(L""));
  const std::wstring folder = base / L"{F}";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\ro.txt", "x"));
  ASSERT_TRUE(SetFileAttributesW((folder + L"\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteBytes(folder + L"\\payload.exe", "x"));
  HANDLE held = CreateFileW((folder + L"\\payload.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(700);
    CloseHandle(held);
  });
  const bool deleted = DeleteExtractFolder(folder + L"\\");
  release.join();
  EXPECT_TRUE(deleted);
  EXPECT_TRUE(ListFolder(base.Path()).empty());
}
