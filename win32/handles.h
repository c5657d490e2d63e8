#pragma once

// Owners of the Win32 handles the program makes: each frees its handle when it goes, on every path, and
// none can be copied. Get() hands the handle to an API; Reset() frees it and may take another.

#include <windows.h>
#include <wininet.h>

#include <utility>

template <class Handle, void (*Free)(Handle)>
class TOwner {
 public:
  TOwner() = default;
  explicit TOwner(Handle handle) : handle_(handle) {}
  ~TOwner() { Reset(); }
  TOwner(TOwner&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  TOwner& operator=(TOwner&& other) noexcept {
    Reset(std::exchange(other.handle_, nullptr));
    return *this;
  }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(Handle handle = nullptr) {
    if (handle_) Free(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = nullptr;
};

namespace owner_detail {
inline void DeleteFont(HFONT font) { DeleteObject(font); }
inline void DestroyPopupMenu(HMENU menu) { DestroyMenu(menu); }
inline void CloseKey(HKEY key) { RegCloseKey(key); }
inline void CloseInternet(HINTERNET handle) { InternetCloseHandle(handle); }
inline void CloseKernelObject(HANDLE handle) { CloseHandle(handle); }
}  // namespace owner_detail

using TFont = TOwner<HFONT, owner_detail::DeleteFont>;
using TMenu = TOwner<HMENU, owner_detail::DestroyPopupMenu>;
using TKeyHandle = TOwner<HKEY, owner_detail::CloseKey>;
using TInternetHandle = TOwner<HINTERNET, owner_detail::CloseInternet>;
using TKernelHandle = TOwner<HANDLE, owner_detail::CloseKernelObject>;

// The device context of a window (GetDC), released with it.
class TWindowDc {
 public:
  explicit TWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~TWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  TWindowDc(const TWindowDc&) = delete;
  TWindowDc& operator=(const TWindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// The painting of a window between BeginPaint and EndPaint.
class TPaintDc {
 public:
  explicit TPaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~TPaintDc() { EndPaint(window_, &paint_); }
  TPaintDc(const TPaintDc&) = delete;
  TPaintDc& operator=(const TPaintDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// An object selected into a device context, and the one it replaced put back at the end.
class TSelection {
 public:
  TSelection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~TSelection() {
    if (old_) SelectObject(dc_, old_);
  }
  TSelection(const TSelection&) = delete;
  TSelection& operator=(const TSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};
