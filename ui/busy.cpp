#include "ui/busy.h"

#include "ui/application.h"

TBusy::TBusy(HWND control) : control_(control), hadFocus_(GetFocus() == control) {
  // Disabled, the control loses the focus to nothing at all.
  EnableWindow(control_, FALSE);
  Application.SetBusy(true);
  // Let the disabled control and the hourglass show before the request blocks the thread.
  Application.ProcessMessages();
}

void TBusy::End() {
  if (ended_) return;
  ended_ = true;
  EnableWindow(control_, TRUE);
  if (hadFocus_ && !GetFocus()) SetFocus(control_);
  Application.SetBusy(false);
}
