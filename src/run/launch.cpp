#include "run/launch.h"

#include "common/scoped_handle.h"

bool LaunchAndWait(std::wstring payloadCommand, const std::wstring& workingDirectory, DWORD& code) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &payloadCommand[0], nullptr, nullptr, FALSE, 0, nullptr,
                      workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &process)) {
    code = GetLastError();
    return false;
  }
  nsCommon::CScopedHandle processHandle(process.hProcess);
  nsCommon::CScopedHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.Get(), INFINITE);
  if (!GetExitCodeProcess(processHandle.Get(), &code)) code = GetLastError();
  return true;
}
