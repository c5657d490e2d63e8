#pragma once

// COM on the program's threads: the apartment a thread enters once, and the owner of an interface pointer.

#include <objbase.h>

#include <utility>

// The calling thread's one COM apartment: single-threaded and without OLE 1 DDE, as the shell asks of a
// thread that calls ShellExecute. Made at the first call on the thread, off the way to the first screen,
// and kept until the thread ends, so that what the thread hands out (an accessible object) stays
// reachable; all that needs COM calls this first, so that whichever comes first makes it the same way.
void EnsureComApartment();

// One reference to a COM object, released when the owner goes.
template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  TComPtr(TComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}

  T* operator->() const { return pointer_; }
  T* Get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  T** Put() {
    Reset();
    return &pointer_;
  }
  void Reset() {
    if (pointer_) std::exchange(pointer_, nullptr)->Release();
  }
  void Swap(TComPtr& other) { std::swap(pointer_, other.pointer_); }

 private:
  T* pointer_ = nullptr;
};
