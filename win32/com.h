#pragma once

// COM on the program's threads: the apartment a thread enters once, and the owner of an interface pointer.

#include <objbase.h>

#include <utility>

// COM on the calling thread, from its first call until the thread ends: nothing on the way to the first
// screen waits for it, and what the thread hands out (an accessible object) stays reachable.
inline void EnterComApartment() {
  class TApartment {
   public:
    TApartment() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~TApartment() {
      if (initialized_) CoUninitialize();
    }
    TApartment(const TApartment&) = delete;
    TApartment& operator=(const TApartment&) = delete;

   private:
    bool initialized_;
  };
  thread_local const TApartment Apartment;
}

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
