// An owning, reference-counted COM interface pointer.
#pragma once

#include <unknwn.h>

#include <utility>

namespace tobrin {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr& other) : m_p(other.m_p) {
    if (m_p) m_p->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(m_p, other.m_p);
    return *this;
  }

  // Takes over a reference the caller already owns.
  static ComPtr Attach(T* p) {
    ComPtr owner;
    owner.m_p = p;
    return owner;
  }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

  void Reset() {
    if (T* p = std::exchange(m_p, nullptr)) p->Release();
  }
  // For an out parameter: releases what is held and hands out the slot.
  T** Receive() {
    Reset();
    return &m_p;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  // Asks the held object for another interface; `out` is null on failure.
  template <class U>
  HRESULT QueryInterface(REFIID iid, ComPtr<U>& out) const {
    if (!m_p) {
      out.Reset();
      return E_POINTER;
    }
    return m_p->QueryInterface(iid, out.ReceiveVoid());
  }

 private:
  T* m_p = nullptr;
};

}  // namespace tobrin
