#pragma once

// Where a window goes on its screen, one rule for the forms and the message boxes: in the middle of its
// monitor, and whole inside the work area (the part that the taskbar leaves), so that its caption can be
// reached: no larger than that area, and moved into it where the middle would put an edge outside.

#include <algorithm>

struct TScreenRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  constexpr bool operator==(const TScreenRect&) const = default;
};

constexpr TScreenRect PlaceOnScreen(const TScreenRect& monitor, const TScreenRect& work, int width,
                                    int height) {
  width = std::min(width, work.Right - work.Left);
  height = std::min(height, work.Bottom - work.Top);
  const int left =
      std::clamp(monitor.Left + (monitor.Right - monitor.Left - width) / 2, work.Left, work.Right - width);
  const int top =
      std::clamp(monitor.Top + (monitor.Bottom - monitor.Top - height) / 2, work.Top, work.Bottom - height);
  return {left, top, left + width, top + height};
}

#ifdef _WIN32
#include <windows.h>

// Gives window that outer size, or as much of it as fits, at its place on the monitor of beside.
inline void PlaceOnScreen(HWND window, HWND beside, int width, int height) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(MonitorFromWindow(beside, MONITOR_DEFAULTTOPRIMARY), &info);
  const auto rect = [](const RECT& r) { return TScreenRect{r.left, r.top, r.right, r.bottom}; };
  const TScreenRect place = PlaceOnScreen(rect(info.rcMonitor), rect(info.rcWork), width, height);
  SetWindowPos(window, nullptr, place.Left, place.Top, place.Right - place.Left, place.Bottom - place.Top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}
#endif
