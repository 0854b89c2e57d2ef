// One owner for every handle-like resource: a value closed by one function
// when its owner goes. Each kind of resource is a one-line alias.
#pragma once

#include <utility>

namespace nsTobrin {

template <class T>
constexpr bool IsNotNull(T value) {
  return value != T{};
}

// Holds a `T` that `Close` releases; `IsValid` tells a held value from
// "nothing", and `Nothing` is what an empty owner holds (by default both
// mean null). Movable, not copyable.
template <class T, auto Close, bool (*IsValid)(T) = &IsNotNull<T>, T Nothing = T{}>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : m_value(value) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept : m_value(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  bool Valid() const { return IsValid(m_value); }
  explicit operator bool() const { return Valid(); }
  T Get() const { return m_value; }

  // Closes what is held and takes `value`.
  void Reset(T value = Nothing) {
    const T old = std::exchange(m_value, value);
    if (IsValid(old)) Close(old);
  }
  // Hands the value to the caller, who closes it (to judge the close's result).
  T Release() { return std::exchange(m_value, Nothing); }
  // For an out parameter: closes what is held and hands out the slot.
  T* Receive() {
    Reset();
    return &m_value;
  }

 private:
  T m_value = Nothing;
};

}  // namespace nsTobrin
