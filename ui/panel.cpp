#include "ui/panel.h"

#include "ui/application.h"
#include "ui/window_class.h"

void TPanel::Register() { RegisterWindowClass(ClassName, WindowProc, IDC_ARROW); }

LRESULT CALLBACK TPanel::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return SendMessageA(GetParent(window), message, wParam, lParam);
    case WM_SETCURSOR:
      if (Application.Busy()) return SendMessageA(GetParent(window), message, wParam, lParam);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
