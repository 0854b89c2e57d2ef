#include "package/digest_thread.h"

namespace nsTobrin {

DigestThread::DigestThread(ByteObserver& digest) : m_digest(digest) {
  m_thread.Reset(CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
}

DigestThread::~DigestThread() {
  if (!m_thread.Valid()) return;
  AcquireSRWLockExclusive(&m_lock);
  m_ending = true;
  ReleaseSRWLockExclusive(&m_lock);
  WakeConditionVariable(&m_posted);
  // The thread feeds what is still handed over before it ends.
  WaitForSingleObject(m_thread.Get(), INFINITE);
}

void DigestThread::Observe(const unsigned char* data, std::size_t size) {
  if (!m_thread.Valid()) {
    m_digest.Observe(data, size);
    return;
  }
  AcquireSRWLockExclusive(&m_lock);
  while (m_pPiece) SleepConditionVariableSRW(&m_fed, &m_lock, INFINITE, 0);
  m_pPiece = data;
  m_pieceSize = size;
  ReleaseSRWLockExclusive(&m_lock);
  WakeConditionVariable(&m_posted);
}

void DigestThread::Drain() {
  if (!m_thread.Valid()) return;
  AcquireSRWLockExclusive(&m_lock);
  while (m_pPiece) SleepConditionVariableSRW(&m_fed, &m_lock, INFINITE, 0);
  ReleaseSRWLockExclusive(&m_lock);
}

DWORD WINAPI DigestThread::ThreadProc(LPVOID param) {
  static_cast<DigestThread*>(param)->Work();
  return 0;
}

void DigestThread::Work() {
  AcquireSRWLockExclusive(&m_lock);
  for (;;) {
    while (!m_pPiece && !m_ending) SleepConditionVariableSRW(&m_posted, &m_lock, INFINITE, 0);
    if (!m_pPiece) break;
    const unsigned char* piece = m_pPiece;
    const std::size_t size = m_pieceSize;
    // The piece stays handed over while it is fed: the writer waits for it
    // before it hands over the next or reuses its buffer.
    ReleaseSRWLockExclusive(&m_lock);
    m_digest.Observe(piece, size);
    AcquireSRWLockExclusive(&m_lock);
    m_pPiece = nullptr;
    WakeConditionVariable(&m_fed);
  }
  ReleaseSRWLockExclusive(&m_lock);
}

}  // namespace nsTobrin
