// Hashes the data area on a thread of its own while the copy writes: the
// seal's digest then costs the run almost nothing on a machine with a second
// core.
#pragma once

#include <windows.h>

#include "common/win_owners.h"
#include "package/package_format.h"

namespace nsTobrin {

class DigestThread : public ByteObserver {
 public:
  // Feeds `digest` in the order the pieces are observed. Without a thread
  // (it could not be started) each piece is fed at once.
  explicit DigestThread(ByteObserver& digest);
  ~DigestThread() override;  // drains, then ends the thread
  DigestThread(const DigestThread&) = delete;
  DigestThread& operator=(const DigestThread&) = delete;

  // Waits until the previous piece is fed, then hands this one over: the
  // caller keeps the piece unchanged until its next Observe or Drain returns.
  void Observe(const unsigned char* data, std::size_t size) override;
  // Waits until every piece is fed.
  void Drain() override;

 private:
  static DWORD WINAPI ThreadProc(LPVOID param);
  void Work();

  ByteObserver& m_digest;
  SRWLOCK m_lock = SRWLOCK_INIT;
  CONDITION_VARIABLE m_posted = CONDITION_VARIABLE_INIT;  // a piece handed over, or the end
  CONDITION_VARIABLE m_fed = CONDITION_VARIABLE_INIT;     // the piece is fed
  const unsigned char* m_pPiece = nullptr;                // handed over, not yet fed
  std::size_t m_pieceSize = 0;
  bool m_ending = false;
  KernelHandle m_thread;
};

}  // namespace nsTobrin
