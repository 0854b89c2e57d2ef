#include "framework/thread.h"

#include <process.h>

#include <memory>

#include "common/win_owners.h"

namespace {

struct ThreadStart {
  AFX_THREADPROC proc;
  LPVOID param;
};

// The thread's first act is to take over its start record.
unsigned __stdcall ThreadEntry(void* argument) {
  const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
  return start->proc(start->param);
}

}  // namespace

bool AfxBeginThread(AFX_THREADPROC proc, LPVOID param) {
  auto start = std::make_unique<ThreadStart>(ThreadStart{proc, param});
  // The thread runs on by itself: only this handle to it goes.
  const nsTobrin::KernelHandle thread(
      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, start.get(), 0, nullptr)));
  if (!thread) return false;
  start.release();  // owned by the running thread from here on
  return true;
}
