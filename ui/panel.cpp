#include "ui/panel.h"

#include "ui/application.h"

void TPanel::Register(HINSTANCE instance) {
  WNDCLASSEXA panel{};
  panel.cbSize = sizeof panel;
  panel.lpfnWndProc = WindowProc;
  panel.hInstance = instance;
  panel.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  panel.lpszClassName = ClassName;
  if (!RegisterClassExA(&panel)) RaiseLastError("RegisterClassEx QuillonPanel");
}

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
