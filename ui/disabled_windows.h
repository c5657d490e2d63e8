#pragma once

// The thread's usable windows, and the guard that disables all but one of them while that one is modal.

#include <windows.h>

#include <vector>

// The thread's visible windows that take input, in the system's order.
std::vector<HWND> UsableWindows();

// The thread's other visible windows, disabled while one of its windows is modal (a form, a message box)
// and enabled again however that ends.
class TDisabledWindows {
 public:
  explicit TDisabledWindows(HWND modal);
  ~TDisabledWindows();
  TDisabledWindows(const TDisabledWindows&) = delete;
  TDisabledWindows& operator=(const TDisabledWindows&) = delete;

 private:
  std::vector<HWND> windows_;
};
