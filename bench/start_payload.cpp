// The least a runner can do under Wine: start the payload, wait for it, end.
// Its time over starting the payload directly is what one more Windows
// process costs here, the floor of any runner's start-up overhead.
//   start_payload PROGRAM
#include <windows.h>

#include "common/win_owners.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return static_cast<int>(GetLastError());
  const nsTobrin::KernelHandle thread(process.hThread), child(process.hProcess);
  WaitForSingleObject(child.Get(), INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(child.Get(), &code);
  return static_cast<int>(code);
}
