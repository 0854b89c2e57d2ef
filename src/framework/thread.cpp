#include "framework/thread.h"

#include <process.h>

bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param, nsTobrin::KernelHandle* thread) {
  // The thread runs on by itself: only a handle to it that nobody keeps goes.
  nsTobrin::KernelHandle started(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, param, 0, nullptr)));
  const bool running = started.Valid();
  if (thread) *thread = std::move(started);
  return running;
}
