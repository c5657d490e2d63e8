#include "win32/com.h"

namespace {

class TComApartment {
 public:
  TComApartment()
      : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~TComApartment() {
    if (initialized_) CoUninitialize();
  }
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;

 private:
  bool initialized_;
};

}  // namespace

void EnsureComApartment() { thread_local const TComApartment Apartment; }
