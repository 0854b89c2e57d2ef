#include "extract/handle_closer.h"

namespace nsTobrin {
namespace {

// More queued handles than this make the writer wait: the pool keeps up or
// the writer slows to its pace, and the process never holds thousands open.
constexpr size_t kMostQueued = 64;

}  // namespace

HandleCloser::HandleCloser(int threads) {
  for (; m_threadCount < threads && m_threadCount < kMostThreads; ++m_threadCount) {
    m_threads[m_threadCount].Reset(CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
    if (!m_threads[m_threadCount].Valid()) break;
  }
}

HandleCloser::~HandleCloser() {
  AcquireSRWLockExclusive(&m_lock);
  m_ending = true;
  ReleaseSRWLockExclusive(&m_lock);
  WakeAllConditionVariable(&m_queued);
  for (int i = 0; i < m_threadCount; ++i) WaitForSingleObject(m_threads[i].Get(), INFINITE);
}

void HandleCloser::Close(HANDLE handle) {
  if (m_threadCount == 0) {
    Record(CloseHandle(handle) != FALSE);
    return;
  }
  AcquireSRWLockExclusive(&m_lock);
  while (m_handles.size() >= kMostQueued) SleepConditionVariableSRW(&m_done, &m_lock, INFINITE, 0);
  m_handles.push_back(handle);
  ReleaseSRWLockExclusive(&m_lock);
  WakeConditionVariable(&m_queued);
}

DWORD HandleCloser::Finish() {
  AcquireSRWLockExclusive(&m_lock);
  while (!m_handles.empty() || m_closing > 0) SleepConditionVariableSRW(&m_done, &m_lock, INFINITE, 0);
  const DWORD error = m_error;
  m_error = 0;
  ReleaseSRWLockExclusive(&m_lock);
  return error;
}

DWORD WINAPI HandleCloser::ThreadProc(LPVOID param) {
  static_cast<HandleCloser*>(param)->Work();
  return 0;
}

void HandleCloser::Work() {
  AcquireSRWLockExclusive(&m_lock);
  for (;;) {
    while (m_handles.empty() && !m_ending) SleepConditionVariableSRW(&m_queued, &m_lock, INFINITE, 0);
    // What is queued is closed before the thread ends.
    if (m_handles.empty()) break;
    const HANDLE handle = m_handles.front();
    m_handles.pop_front();
    ++m_closing;
    ReleaseSRWLockExclusive(&m_lock);
    const bool closed = CloseHandle(handle) != FALSE;
    const DWORD error = closed ? 0 : GetLastError();
    AcquireSRWLockExclusive(&m_lock);
    --m_closing;
    if (error && !m_error) m_error = error;
    WakeAllConditionVariable(&m_done);
  }
  ReleaseSRWLockExclusive(&m_lock);
}

void HandleCloser::Record(bool closed) {
  const DWORD error = closed ? 0 : GetLastError();
  AcquireSRWLockExclusive(&m_lock);
  if (error && !m_error) m_error = error;
  ReleaseSRWLockExclusive(&m_lock);
}

}  // namespace nsTobrin
