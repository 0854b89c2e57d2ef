#include "run/launch.h"

#include <vector>

#include "common/last_error.h"
#include "package/long_path.h"

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

// A process of the job that runs from the folder, or an invalid handle.
KernelHandle FindProcessInFolder(HANDLE job, const std::wstring& folder) {
  for (const ULONG_PTR id : JobProcesses(job)) {
    KernelHandle process(
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id)));
    if (!process.Valid()) continue;
    wchar_t image[32768];
    DWORD size = 32768;
    if (WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT &&
        QueryFullProcessImageNameW(process.Get(), 0, image, &size) && IsInsideFolder(std::wstring(image, size), folder))
      return process;
  }
  return KernelHandle();
}

// The program to start, named apart from the command line only when its full
// long path does not fit MAX_PATH (a TEMP given in its short form): some
// systems resolve the image's long name into a buffer of that size and fail.
// The "\\?\" form passes the path as it stands.
std::wstring ApplicationName(const std::wstring& payloadPath) {
  if (payloadPath.empty()) return std::wstring();
  const DWORD longLength = GetLongPathNameW(payloadPath.c_str(), nullptr, 0);
  if (longLength <= MAX_PATH) return std::wstring();  // the size with its terminator
  return ToLongPath(payloadPath);
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
  const std::wstring base = ComparablePath(folder, true);
  const std::wstring full = ComparablePath(path, false);
  return !base.empty() && full.size() >= base.size() &&
         CompareStringOrdinal(full.c_str(), static_cast<int>(base.size()), base.c_str(), static_cast<int>(base.size()),
                              TRUE) == CSTR_EQUAL;
}

bool LaunchAndWait(const PayloadCommand& command, const std::wstring& extractFolder, KernelHandle& heldPayload,
                   DWORD& exitCode) {
  const std::wstring& workingDirectory = command.workingDirectory;
  // The job only tells which processes descend from the payload: it limits
  // nothing and ends nothing when it is closed.
  KernelHandle job(CreateJobObjectW(nullptr, nullptr));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  const std::wstring application = ApplicationName(command.payloadPath);
  const DWORD startError = StartRetryingLostProcess([&] {
    std::wstring commandLine = command.commandLine;  // CreateProcessW may write into it
    const BOOL started = CreateProcessW(application.empty() ? nullptr : application.c_str(), &commandLine[0], nullptr,
                                        nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &process);
    return ErrorUnless(started, ERROR_BAD_EXE_FORMAT);
  });
  heldPayload.Reset();
  if (startError) {
    SetLastError(startError);
    return false;
  }
  KernelHandle processHandle(process.hProcess);
  KernelHandle threadHandle(process.hThread);
  // A runner inside a job that allows no nested job and no breakaway cannot
  // use one: then only the payload itself is waited for.
  if (job.Valid() && !AssignProcessToJobObject(job.Get(), processHandle.Get())) job.Reset();
  ResumeThread(threadHandle.Get());
  WaitForSingleObject(processHandle.Get(), INFINITE);
  if (!GetExitCodeProcess(processHandle.Get(), &exitCode)) exitCode = LastErrorOr(ERROR_INVALID_HANDLE);
  if (job.Valid() && !extractFolder.empty()) {
    for (;;) {
      const KernelHandle running = FindProcessInFolder(job.Get(), extractFolder);
      if (!running.Valid()) break;
      WaitForSingleObject(running.Get(), INFINITE);
    }
  }
  return true;
}

}  // namespace nsTobrin
