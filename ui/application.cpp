#include "ui/application.h"

#include <commctrl.h>

#include <system_error>

#include "ui/form.h"
#include "ui/link_label.h"
#include "ui/panel.h"
#include "win32/system_library.h"

TApplication Application;

void TApplication::Initialize(HINSTANCE instance) {
  instance_ = instance;
  // The window system's own libraries load these by name at the first window and its first painting.
  LoadSystemLibraries({"ole32.dll", "msimg32.dll"});
  // The manifest asks for this already; a program without it (a test) gets the same layout rules.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  TForm::Register();
  TPanel::Register();
  TLinkLabel::Register();
}

void TApplication::Finalize() {
  mainForm_ = nullptr;
  while (!forms_.empty()) forms_.pop_back();
}

int TApplication::Run() {
  if (mainForm_) mainForm_->Show();
  MSG message;
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
    if (!PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  terminated_ = true;
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave it for the loop that owns it.
      terminated_ = true;
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

bool TApplication::PreTranslate(MSG& message) {
  if (!message.hwnd) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  char className[32];
  if (!root || !GetClassNameA(root, className, sizeof className) ||
      lstrcmpA(className, TForm::ClassName) != 0)
    return false;
  return IsDialogMessageA(root, &message);
}

void TApplication::SetBusy(bool busy) {
  busy_ = busy;
  SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void TApplication::PrepareBusy() {
  HCURSOR shown = GetCursor();
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  SetCursor(shown);
}

TBusy::TBusy(HWND control) : control_(control) {
  EnableWindow(control_, FALSE);
  Application.SetBusy(true);
  // Let the disabled control and the hourglass show before the request blocks the thread.
  Application.ProcessMessages();
}

void TBusy::End() {
  if (ended_) return;
  ended_ = true;
  EnableWindow(control_, TRUE);
  Application.SetBusy(false);
}

void RegisterWindowClass(const char* name, WNDPROC procedure, LPCSTR cursor, HICON icon) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = Application.Instance();
  windowClass.hCursor = LoadCursorA(nullptr, cursor);
  windowClass.hIcon = icon;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  if (!RegisterClassExA(&windowClass)) RaiseLastError(std::string("RegisterClassEx ") + name);
}

void RaiseLastError(const std::string& what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}
