#include "ui/application.h"

#include <commctrl.h>

#include "ui/form.h"
#include "ui/link_label.h"
#include "ui/panel.h"

TApplication Application;

void TApplication::Initialize(HINSTANCE instance) {
  instance_ = instance;
  // The manifest asks for this already; a program without it (a test) gets the same layout rules. Looked
  // up, not imported: Windows 10 before version 1703 lacks it, and takes the manifest's fallback instead.
  using TSetAwareness = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
  // By way of void (*)(), the type that any function pointer may pass through unwarned.
  if (const auto found = reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")))
    reinterpret_cast<TSetAwareness>(found)(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
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
  while (PumpMessage(true, TLoop::Application)) {
  }
  return exitCode_;
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
  while (PumpMessage(false)) {
  }
}

bool TApplication::PumpMessage(bool wait, TLoop loop) {
  MSG message;
  if (wait) {
    // A queue that cannot be read ends the loops as the quit message would, with a failure.
    if (GetMessageA(&message, nullptr, 0, 0) < 0) {
      message = {};
      message.message = WM_QUIT;
      message.wParam = 1;
    }
  } else if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    return false;
  }
  if (message.message == WM_QUIT) {
    terminated_ = true;
    exitCode_ = static_cast<int>(message.wParam);
    if (loop == TLoop::Nested) PostQuitMessage(exitCode_);
    return false;
  }
  if (!PreTranslate(message)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
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
