#include "package/ahead_thread.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace nsTobrin {

struct AheadThread::Parts {
  std::mutex lock;
  std::condition_variable changed;
  std::thread thread;
};

AheadThread::AheadThread() : m_parts(new Parts) {}

AheadThread::~AheadThread() { Join(); }

bool AheadThread::Start(void (*run)(void*), void* context) {
  try {
    m_parts->thread = std::thread(run, context);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool AheadThread::Running() const { return m_parts->thread.joinable(); }

void AheadThread::Join() {
  if (m_parts->thread.joinable()) m_parts->thread.join();
}

void AheadThread::Lock() { m_parts->lock.lock(); }
void AheadThread::Unlock() { m_parts->lock.unlock(); }
void AheadThread::Wait() {
  std::unique_lock<std::mutex> held(m_parts->lock, std::adopt_lock);
  m_parts->changed.wait(held);
  held.release();
}
void AheadThread::WakeAll() { m_parts->changed.notify_all(); }

}  // namespace nsTobrin
