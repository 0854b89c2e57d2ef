#include "run/launch.h"

#include <winternl.h>

#include <vector>

#include "common/last_error.h"
#include "extract/long_path.h"

namespace nsTobrin {

namespace {

// The full, long form of a path, with a trailing backslash when it names a
// folder; empty when it cannot be resolved.
std::wstring ComparablePath(const std::wstring& path, bool folder) {
  std::wstring longer = path;
  const DWORD needed = GetLongPathNameW(path.c_str(), nullptr, 0);
  if (needed) {
    longer.assign(needed, L'\0');
    const DWORD length = GetLongPathNameW(path.c_str(), &longer[0], needed);
    longer.resize(length && length < needed ? length : 0);
    if (longer.empty()) longer = path;
  }
  std::wstring full = ToLongPath(longer);
  if (folder && !full.empty() && full.back() != L'\\') full += L'\\';
  return full;
}

// True when `full`, a ComparablePath, lies in the folder whose ComparablePath
// is `base`.
bool IsInsideComparable(const std::wstring& full, const std::wstring& base) {
  return !base.empty() && full.size() >= base.size() &&
         CompareStringOrdinal(full.c_str(), static_cast<int>(base.size()), base.c_str(), static_cast<int>(base.size()),
                              TRUE) == CSTR_EQUAL;
}

// The ids of the processes of the job that still run.
std::vector<ULONG_PTR> JobProcesses(HANDLE job) {
  std::vector<char> buffer(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + 63 * sizeof(ULONG_PTR));
  for (;;) {
    auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    if (QueryInformationJobObject(job, JobObjectBasicProcessIdList, list, static_cast<DWORD>(buffer.size()), nullptr))
      return std::vector<ULONG_PTR>(list->ProcessIdList, list->ProcessIdList + list->NumberOfProcessIdsInList);
    if (GetLastError() != ERROR_MORE_DATA) return {};
    // Room for what the job holds now, and some that may start meanwhile.
    buffer.resize(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) + (list->NumberOfAssignedProcesses + 16) * sizeof(ULONG_PTR));
  }
}

// The texts by which a command line names the folder (it ends with a
// backslash): its own name, a {GUID} that nothing else carries, in any form
// of the path before it; and its full short path where the file system gives
// the folder a short name of its own.
std::vector<std::wstring> FolderMentions(const std::wstring& folder) {
  std::wstring path = folder;
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  std::vector<std::wstring> mentions{name};
  wchar_t shortPath[32768];
  const DWORD length = GetShortPathNameW(path.c_str(), shortPath, 32768);
  if (length && length < 32768) {
    const std::wstring shortened(shortPath, length);
    if (shortened.compare(shortened.find_last_of(L'\\') + 1, std::wstring::npos, name) != 0) mentions.push_back(shortened);
  }
  return mentions;
}

bool ContainsIgnoringCase(const std::wstring& text, const std::wstring& part) {
  const int length = static_cast<int>(part.size());
  for (size_t at = 0; length && at + part.size() <= text.size(); ++at)
    if (CompareStringOrdinal(text.c_str() + at, length, part.c_str(), length, TRUE) == CSTR_EQUAL) return true;
  return false;
}

using QueryProcessProc = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

template <typename T>
bool ReadFrom(HANDLE process, const void* address, T& value) {
  SIZE_T read = 0;
  return address && ReadProcessMemory(process, address, &value, sizeof(value), &read) && read == sizeof(value);
}

// The command line of another process; false where the system does not let
// the runner read it. Windows 8.1 and later hand it over for any process.
// Elsewhere (older Windows, and Wine 8, which knows no such query) it is read
// from the process's parameters in its memory: a process of the runner's own
// bitness, and a 32-bit one from the 64-bit runner (its 64-bit parameters
// hold the same line); a 64-bit process is out of the 32-bit runner's reach.
bool ReadCommandLine(HANDLE process, std::wstring& text) {
  static const auto query = reinterpret_cast<QueryProcessProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  if (!query) return false;
  constexpr ULONG kProcessCommandLineInformation = 60;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  std::vector<char> buffer(sizeof(UNICODE_STRING) + 2048);
  for (;;) {
    ULONG needed = 0;
    const LONG status =
        query(process, kProcessCommandLineInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status >= 0) {
      const auto* line = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
      text.assign(line->Buffer, line->Length / sizeof(wchar_t));
      return true;
    }
    if (status != kInfoLengthMismatch || needed <= buffer.size()) break;
    buffer.resize(needed);
  }
  PROCESS_BASIC_INFORMATION basic = {};
  PEB peb;
  RTL_USER_PROCESS_PARAMETERS parameters;
  if (query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) < 0 ||
      !ReadFrom(process, basic.PebBaseAddress, peb) || !ReadFrom(process, peb.ProcessParameters, parameters))
    return false;
  text.assign(parameters.CommandLine.Length / sizeof(wchar_t), L'\0');
  SIZE_T read = 0;
  return text.empty() || (ReadProcessMemory(process, parameters.CommandLine.Buffer, &text[0], parameters.CommandLine.Length, &read) &&
                          read == parameters.CommandLine.Length);
}

// A running process of the job that the runner waits for, or an invalid
// handle: one whose image lies in the folder, whose command line names the
// folder (a script or an installer database handed to cmd, msiexec or
// rundll32), or whose command line cannot be read, since what it works on is
// then unknown. Its current directory is not looked at: a product started
// at the end of a setup inherits the folder as its own.
KernelHandle FindProcessHoldingFolder(HANDLE job, const std::wstring& comparableFolder,
                                      const std::vector<std::wstring>& mentions) {
  for (const ULONG_PTR id : JobProcesses(job)) {
    KernelHandle process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, static_cast<DWORD>(id)));
    if (!process.Valid())
      process.Reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id)));
    if (!process.Valid() || WaitForSingleObject(process.Get(), 0) != WAIT_TIMEOUT) continue;
    wchar_t image[32768];
    DWORD size = 32768;
    if (QueryFullProcessImageNameW(process.Get(), 0, image, &size) &&
        IsInsideComparable(ComparablePath(std::wstring(image, size), false), comparableFolder))
      return process;
    std::wstring commandLine;
    if (!ReadCommandLine(process.Get(), commandLine)) return process;
    for (const std::wstring& mention : mentions)
      if (ContainsIgnoringCase(commandLine, mention)) return process;
  }
  return KernelHandle();
}

// The program to start, named apart from the command line only when its full
// long path does not fit MAX_PATH (a TEMP given in its short form): some
// systems resolve the image's long name into a buffer of that size and fail.
// The "\\?\" form passes the path as it stands.
std::wstring ApplicationName(const PayloadCommand& command) {
  if (command.payloadPath.empty()) return std::wstring();
  const DWORD longLength = GetLongPathNameW(command.payloadPath.c_str(), nullptr, 0);
  if (longLength <= MAX_PATH) return std::wstring();  // the size with its terminator
  return command.payloadLongPath;
}

}  // namespace

DWORD StartRetryingLostProcess(const std::function<DWORD()>& start, int attempts) {
  DWORD error = start();
  for (int attempt = 1; attempt < attempts && error == ERROR_INTERNAL_ERROR; ++attempt) {
    Sleep(100 * attempt);
    error = start();
  }
  return error;
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder) {
  return IsInsideComparable(ComparablePath(path, false), ComparablePath(folder, true));
}

DWORD ResumeOrEnd(HANDLE process, HANDLE thread) {
  if (ResumeThread(thread) != static_cast<DWORD>(-1)) return 0;
  const DWORD error = LastErrorOr(ERROR_INVALID_HANDLE);
  TerminateProcess(process, error);
  WaitForSingleObject(process, INFINITE);
  return error;
}

DWORD StartAndWait(const PayloadCommand& command, const std::wstring& extractFolder, KernelHandle& heldPayload,
                   DWORD& exitCode) {
  const std::wstring& workingDirectory = command.workingDirectory;
  // The job only tells which processes descend from the payload: it limits
  // nothing (a child may break away from it) and ends nothing when it is
  // closed.
  KernelHandle job(CreateJobObjectW(nullptr, nullptr));
  // Should the system refuse that, the job still tells which children to
  // wait for; only a child that asks to break away is then refused.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  if (job.Valid()) SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const std::wstring application = ApplicationName(command);
  const DWORD startError = StartRetryingLostProcess([&] {
    std::wstring commandLine = command.commandLine;  // CreateProcessW may write into it
    const BOOL started = CreateProcessW(application.empty() ? nullptr : application.c_str(), &commandLine[0], nullptr,
                                        nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &process);
    return ErrorUnless(started, ERROR_BAD_EXE_FORMAT);
  });
  heldPayload.Reset();
  if (startError) return startError;
  KernelHandle processHandle(process.hProcess);
  KernelHandle threadHandle(process.hThread);
  // A runner inside a job that allows no nested job and no breakaway cannot
  // use one: then only the payload itself is waited for.
  if (job.Valid() && !AssignProcessToJobObject(job.Get(), processHandle.Get())) job.Reset();
  if (const DWORD error = ResumeOrEnd(processHandle.Get(), threadHandle.Get())) return error;
  WaitForSingleObject(processHandle.Get(), INFINITE);
  if (!GetExitCodeProcess(processHandle.Get(), &exitCode)) exitCode = LastErrorOr(ERROR_INVALID_HANDLE);
  if (job.Valid() && !extractFolder.empty()) {
    const std::vector<std::wstring> mentions = FolderMentions(extractFolder);
    const std::wstring comparableFolder = ComparablePath(extractFolder, true);
    for (;;) {
      const KernelHandle running = FindProcessHoldingFolder(job.Get(), comparableFolder, mentions);
      if (!running.Valid()) break;
      WaitForSingleObject(running.Get(), INFINITE);
    }
  }
  return 0;
}

bool LaunchAndWait(const PayloadCommand& command, const std::wstring& extractFolder, KernelHandle& heldPayload,
                   DWORD& exitCode) {
  const DWORD error = StartAndWait(command, extractFolder, heldPayload, exitCode);
  if (error) SetLastError(error);
  return error == 0;
}

}  // namespace nsTobrin
