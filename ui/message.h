#pragma once

#include <string>
#include <string_view>

#include "win32/executable.h"

// The caption of the program's message boxes: the executable's file name without its folder, cut before
// its first ".", every character after the first in lower case.
std::string ApplicationTitle(std::string_view executablePath, const TCodePage& codePage);

#ifdef _WIN32
#include <windows.h>

#include <vector>

// The one way the program tells the user something: a modal box centred on the screen, one "OK" button,
// no icon, the application title as caption. It belongs to the program's active window (or else its
// first usable one), which is active again once the box is gone; every other window waits meanwhile.
void ShowMessage(const std::string& text);

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
#endif
