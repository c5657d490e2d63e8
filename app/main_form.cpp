#include "app/main_form.h"

#include <chrono>

#include "app/version.h"
#include "session/login_form.h"
#include "session/session_state.h"
#include "ui/error.h"
#include "ui/panel.h"

namespace {

// Within the five seconds that Windows gives, with time to spare for the answer and the way out.
constexpr std::chrono::milliseconds EndSessionLimit{3500};

}  // namespace

TMainForm::TMainForm() {
  CreateForm("Quillon", {WS_OVERLAPPEDWINDOW, 0, 763, 563, false});
  Panel1 = AddControl(Handle(), TPanel::ClassName, "", 0, {.Height = 41, .Anchor = TAnchor::LeftAndRight},
                      WS_EX_CONTROLPARENT);
  UserLabel = AddControl(Panel1, "STATIC", "", SS_LEFT | SS_NOPREFIX,
                         {.Left = 8, .Top = 8, .Width = 1, .Height = 13});
  AccessLevelLabel = AddControl(Panel1, "STATIC", "", SS_LEFT | SS_NOPREFIX,
                                {.Left = 8, .Top = 24, .Width = 1, .Height = 13});
  // Stays 8 pixels from the bar's right edge as the window is resized.
  ToolsButton = AddControl(Panel1, "BUTTON", "Tools", WS_TABSTOP | BS_PUSHBUTTON,
                           {.Top = 8, .Width = 43, .Height = 25, .Right = 8, .Anchor = TAnchor::Right},
                           &TMainForm::ToolsButtonClick);
  ToolsPopupMenu.Reset(CreatePopupMenu());
  if (!ToolsPopupMenu) RaiseLastError("CreatePopupMenu");
  AddMenuItem(ToolsPopupMenu.Get(), "Log Out", &TMainForm::LogOutMenuClick);
  AppendMenuA(ToolsPopupMenu.Get(), MF_SEPARATOR, 0, nullptr);
  AddMenuItem(ToolsPopupMenu.Get(), "Exit", &TMainForm::ExitMenuClick);
}

void TMainForm::FormShow() {
  LayOut();
  SetCaption("Quillon V" + GetVersionText(true));
  if (!EnsureSignedIn()) Close();
}

void TMainForm::FormClose() {
  if (!SessionState.SessionId.empty()) LogInForm->EndSession();
}

void TMainForm::FormEndSession() {
  // The process may be ended as soon as this returns: the closing request goes now, and without a message
  // box, which nobody could answer. Windows waits five seconds for it, then shows the user who holds up
  // the log-off, with this reason.
  if (!SessionState.SessionId.empty()) {
    ShutdownBlockReasonCreate(Handle(), L"Closing your session with the account service");
    LogInForm->EndSessionWithin(EndSessionLimit);
    ShutdownBlockReasonDestroy(Handle());
    // Closed, whatever the answer: nothing on the way out may close it again.
    SessionState.SessionId.clear();
  }
  Application.Terminate();
}

bool TMainForm::EnsureSignedIn() {
  if (IsSignedIn(SessionState)) return true;
  if (LogInForm->ShowModal() == TModalResult::Cancel) {
    Application.Terminate();
    return false;
  }
  SetLabel(UserLabel, "User name: " + SessionState.UserName);
  SetLabel(AccessLevelLabel, "Access level: " + AccessLevelName(SessionState.AccessLevel));
  return true;
}

void TMainForm::ToolsButtonClick() {
  POINT at{};
  GetCursorPos(&at);
  // Without this the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(Handle());
  TrackPopupMenu(ToolsPopupMenu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0,
                 Handle(), nullptr);
  PostMessageA(Handle(), WM_NULL, 0, 0);
}

void TMainForm::LogOutMenuClick() {
  SessionState.UserName.clear();
  SessionState.SessionId.clear();
  Hide();
  EnsureSignedIn();
  Show();
}

void TMainForm::ExitMenuClick() { Close(); }

void TMainForm::SetLabel(HWND label, const std::string& text) {
  SetWindowTextA(label, text.c_str());
  SIZE extent{};
  {
    const TWindowDc dc(label);
    const TSelection font(dc.Get(), Font());
    GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
  }
  SetControlWidth(label, MulDiv(extent.cx, 96, Scale(96)) + 2);
}

void TMainForm::DpiChanged() {
  SetLabel(UserLabel, WindowText(UserLabel));
  SetLabel(AccessLevelLabel, WindowText(AccessLevelLabel));
}

LRESULT TMainForm::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      return TRUE;  // never in the way of a log-off or shutdown
    case WM_ENDSESSION:
      if (wParam) FormEndSession();
      return 0;
  }
  return TForm::HandleWindowMessage(message, wParam, lParam);
}
