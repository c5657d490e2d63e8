#include "ui/disabled_windows.h"

#include <new>
#include <utility>

// The callback stops at an error, which must not unwind through the system's frames, and it is raised here.
std::vector<HWND> UsableWindows() {
  struct TWalk {
    std::vector<HWND> Windows;
    bool Failed = false;
  } walk;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM found) -> BOOL {
        auto* walk = reinterpret_cast<TWalk*>(found);
        try {
          if (IsWindowVisible(window) && IsWindowEnabled(window)) walk->Windows.push_back(window);
          return TRUE;
        } catch (...) {
          walk->Failed = true;
          return FALSE;
        }
      },
      reinterpret_cast<LPARAM>(&walk));
  if (walk.Failed) throw std::bad_alloc();
  return std::move(walk.Windows);
}

TDisabledWindows::TDisabledWindows(HWND modal) : windows_(UsableWindows()) {
  std::erase(windows_, modal);
  for (HWND window : windows_) EnableWindow(window, FALSE);
}

TDisabledWindows::~TDisabledWindows() {
  for (HWND window : windows_) EnableWindow(window, TRUE);
}
