// A kernel handle (file, process, thread), closed when it goes out of scope.
#pragma once

#include <windows.h>

namespace tobrin {

class CScopedHandle {
 public:
  CScopedHandle() = default;
  explicit CScopedHandle(HANDLE handle) : m_hHandle(handle) {}
  ~CScopedHandle() { Close(); }
  CScopedHandle(const CScopedHandle&) = delete;
  CScopedHandle& operator=(const CScopedHandle&) = delete;

  bool Valid() const { return m_hHandle && m_hHandle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return m_hHandle; }
  void Reset(HANDLE handle) {
    Close();
    m_hHandle = handle;
  }
  // Closes the handle; false when the system reports an error in doing so.
  bool Close() {
    bool closed = true;
    if (Valid()) closed = CloseHandle(m_hHandle) != FALSE;
    m_hHandle = nullptr;
    return closed;
  }

 private:
  HANDLE m_hHandle = nullptr;
};

}  // namespace tobrin
