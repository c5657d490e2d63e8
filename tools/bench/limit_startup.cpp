// The limit of the start-up benchmark: what Quillon.exe's start-up leaves on the screen, made the plainest
// way. The same resources (manifest, icon, version), the hidden main window, and the sign-in dialog with
// its controls, centred and shown; no framework, no COM, no registry, no cipher. Closing the dialog ends
// it.
#include <windows.h>

#include "tools/bench/limit_windows.h"

namespace {

constexpr char LinkClass[] = "LimitLink";

HFONT Underlined;

// Navy underlined text, as the dialog's links are drawn.
LRESULT CALLBACK LinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  char text[64];
  const int length = GetWindowTextA(window, text, sizeof text);
  HGDIOBJ old = SelectObject(dc, Underlined);
  SetTextColor(dc, RGB(0, 0, 128));
  SetBkMode(dc, TRANSPARENT);
  RECT bounds;
  GetClientRect(window, &bounds);
  DrawTextA(dc, text, length, &bounds, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, old);
  EndPaint(window, &paint);
  return 0;
}

HWND MakeSignInDialog(HINSTANCE instance) {
  LOGFONTA face;
  GetObjectA(limit::Font(), sizeof face, &face);
  face.lfUnderline = TRUE;
  Underlined = CreateFontIndirectA(&face);
  WNDCLASSA link{};
  link.lpfnWndProc = LinkProc;
  link.hInstance = instance;
  link.hCursor = LoadCursorA(nullptr, IDC_HAND);
  link.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  link.lpszClassName = LinkClass;
  RegisterClassA(&link);

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  RECT bounds{0, 0, limit::Scale(284), limit::Scale(111)};
  AdjustWindowRectExForDpi(&bounds, style, FALSE, exStyle, GetDpiForSystem());
  HWND dialog =
      limit::MakeForm("Log In", style, exStyle, bounds.right - bounds.left, bounds.bottom - bounds.top);
  limit::AddControl(dialog, "STATIC", "Username", 0, 8, 8, 60, 13);
  limit::AddControl(dialog, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, 8, 24, 121, 21, 0, WS_EX_CLIENTEDGE);
  limit::AddControl(dialog, "STATIC", "Password", 0, 136, 8, 60, 13);
  limit::AddControl(dialog, "EDIT", "ABC", WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, 136, 24, 121, 24, 0,
                    WS_EX_CLIENTEDGE);
  limit::AddControl(dialog, "BUTTON", "Remember me", WS_TABSTOP | BS_AUTOCHECKBOX, 8, 48, 97, 17);
  limit::AddControl(dialog, "BUTTON", "Log In", WS_TABSTOP | BS_DEFPUSHBUTTON, 152, 72, 48, 25, IDOK);
  limit::AddControl(dialog, "BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 208, 72, 48, 25, IDCANCEL);
  limit::AddControl(dialog, LinkClass, "Forgot username?", WS_TABSTOP, 8, 69, 90, 13, 101);
  limit::AddControl(dialog, LinkClass, "Forgot password?", WS_TABSTOP, 8, 87, 90, 13, 102);
  return dialog;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  limit::Initialize(instance);
  limit::MakeMainWindow(LIMIT_MAIN_CAPTION);
  HWND dialog = MakeSignInDialog(instance);
  ShowWindow(dialog, SW_SHOW);
  SetForegroundWindow(dialog);
  SetFocus(GetNextDlgTabItem(dialog, nullptr, FALSE));
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
