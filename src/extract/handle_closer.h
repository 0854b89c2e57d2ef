// Closes the handles of written files on a small pool of threads, so that
// the thread that writes goes on to the next file at once.
#pragma once

#include <windows.h>

#include <deque>

#include "common/win_owners.h"

namespace nsTobrin {

class HandleCloser {
 public:
  static constexpr int kMostThreads = 4;
  explicit HandleCloser(int threads);  // at most kMostThreads; 0 closes each handle at once
  ~HandleCloser();  // closes what is still queued and ends the threads
  HandleCloser(const HandleCloser&) = delete;
  HandleCloser& operator=(const HandleCloser&) = delete;

  // Takes the handle over. Without a thread to hand it to it is closed here.
  void Close(HANDLE handle);
  // Waits until every handle given so far is closed; the first error any
  // close reported since the last call, or 0.
  DWORD Finish();

 private:
  static DWORD WINAPI ThreadProc(LPVOID param);
  void Work();
  void Record(bool closed);

  SRWLOCK m_lock = SRWLOCK_INIT;
  CONDITION_VARIABLE m_queued = CONDITION_VARIABLE_INIT;  // a handle queued, or the end
  CONDITION_VARIABLE m_done = CONDITION_VARIABLE_INIT;    // a handle closed
  std::deque<HANDLE> m_handles;
  size_t m_closing = 0;  // taken from the queue, not yet closed
  DWORD m_error = 0;
  bool m_ending = false;
  KernelHandle m_threads[kMostThreads];
  int m_threadCount = 0;
};

}  // namespace nsTobrin
