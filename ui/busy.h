#pragma once

// The busy state of a request that blocks the thread: the control that started it disabled and the
// hourglass shown, and the waiting messages processed so that this shows before the request begins. Ends
// when the guard goes or at End(), which comes before any message box about the answer; a control that had
// the focus has it again.

#include <windows.h>

class TBusy {
 public:
  explicit TBusy(HWND control);
  ~TBusy() { End(); }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;
  void End();

 private:
  HWND control_;
  bool hadFocus_;
  bool ended_ = false;
};
