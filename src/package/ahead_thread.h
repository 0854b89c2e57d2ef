// The second thread of the decode-ahead copy, with the lock and the wake-up
// it shares with its owner. On Windows these are the system's own (a thread,
// a slim reader/writer lock, a condition variable): the standard library's
// would bring the runner a threads library of some 18 KB. Elsewhere they are
// the standard library's.
#pragma once

#include <memory>

namespace nsTobrin {

class AheadThread {
 public:
  AheadThread();
  ~AheadThread();  // joins a thread still running
  AheadThread(const AheadThread&) = delete;
  AheadThread& operator=(const AheadThread&) = delete;

  // Runs `run(context)` on a new thread; false when none can be started.
  bool Start(void (*run)(void* context), void* context);
  bool Running() const;
  void Join();

  void Lock();
  void Unlock();
  // Called with the lock held: gives it up until WakeAll, then takes it again.
  void Wait();
  void WakeAll();

 struct Parts;  // the platform's own

 private:
  std::unique_ptr<Parts> m_parts;
};

// Holds an AheadThread's lock for a scope.
class AheadLock {
 public:
  explicit AheadLock(AheadThread& thread) : m_thread(thread) { m_thread.Lock(); }
  ~AheadLock() { m_thread.Unlock(); }
  AheadLock(const AheadLock&) = delete;
  AheadLock& operator=(const AheadLock&) = delete;

 private:
  AheadThread& m_thread;
};

}  // namespace nsTobrin
