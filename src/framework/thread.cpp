#include "framework/thread.h"

#include <process.h>

#include "common/win_owners.h"

bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param) {
  // The thread runs on by itself: only this handle to it goes.
  const nsTobrin::KernelHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, param, 0, nullptr)));
  return thread.Valid();
}
