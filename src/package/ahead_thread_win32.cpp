#include "package/ahead_thread.h"

#include <windows.h>

namespace nsTobrin {

struct AheadThread::Parts {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
  HANDLE thread = nullptr;
  void (*run)(void*) = nullptr;
  void* context = nullptr;
};

namespace {

DWORD WINAPI RunAhead(LPVOID context) {
  auto* parts = static_cast<AheadThread::Parts*>(context);
  parts->run(parts->context);
  return 0;
}

}  // namespace

AheadThread::AheadThread() : m_parts(new Parts) {}

AheadThread::~AheadThread() { Join(); }

bool AheadThread::Start(void (*run)(void*), void* context) {
  m_parts->run = run;
  m_parts->context = context;
  // The C runtime is the system's DLL, which makes and frees each thread's
  // data itself, so the system's thread start serves.
  m_parts->thread = CreateThread(nullptr, 0, RunAhead, m_parts.get(), 0, nullptr);
  return m_parts->thread != nullptr;
}

bool AheadThread::Running() const { return m_parts->thread != nullptr; }

void AheadThread::Join() {
  if (!m_parts->thread) return;
  WaitForSingleObject(m_parts->thread, INFINITE);
  CloseHandle(m_parts->thread);
  m_parts->thread = nullptr;
}

void AheadThread::Lock() { AcquireSRWLockExclusive(&m_parts->lock); }
void AheadThread::Unlock() { ReleaseSRWLockExclusive(&m_parts->lock); }
void AheadThread::Wait() { SleepConditionVariableSRW(&m_parts->changed, &m_parts->lock, INFINITE, 0); }
void AheadThread::WakeAll() { WakeAllConditionVariable(&m_parts->changed); }

}  // namespace nsTobrin
