#include "framework/thread.h"

#include <process.h>

namespace {

struct ThreadStart {
  AFX_THREADPROC proc;
  LPVOID param;
};

unsigned __stdcall ThreadEntry(void* argument) {
  ThreadStart start = *static_cast<ThreadStart*>(argument);
  delete static_cast<ThreadStart*>(argument);
  return start.proc(start.param);
}

}  // namespace

bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param) {
  auto* start = new ThreadStart{proc, param};
  const uintptr_t handle = _beginthreadex(nullptr, 0, ThreadEntry, start, 0, nullptr);
  if (handle == 0) {
    delete start;
    return false;
  }
  CloseHandle(reinterpret_cast<HANDLE>(handle));
  return true;
}
