#include "app/main_form.h"

#include "app/version.h"
#include "session/login_form.h"
#include "session/session_state.h"

namespace {

constexpr int ToolsButtonId = 100;
constexpr int BarHeight = 41;
constexpr int ToolsWidth = 43;
constexpr int ToolsHeight = 25;
constexpr int ToolsTop = 8;
constexpr int ToolsMargin = 8;

}  // namespace

TMainForm::TMainForm() {
  CreateForm("Quillon", {WS_OVERLAPPEDWINDOW, 0, 763, 563, false});
  Panel1 = CreatePanel(Handle());
  UserLabel = AddControl(Panel1, "STATIC", "", SS_LEFT | SS_NOPREFIX, 8, 8, 1, 13);
  AccessLevelLabel = AddControl(Panel1, "STATIC", "", SS_LEFT | SS_NOPREFIX, 8, 24, 1, 13);
  ToolsButton = AddControl(Panel1, "BUTTON", "Tools", WS_TABSTOP | BS_PUSHBUTTON, 0, ToolsTop, ToolsWidth,
                           ToolsHeight, ToolsButtonId);
  ToolsPopupMenu = CreatePopupMenu();
  AppendMenuA(ToolsPopupMenu, MF_STRING, LogOutMenu, "Log Out");
  AppendMenuA(ToolsPopupMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(ToolsPopupMenu, MF_STRING, ExitMenu, "Exit");
  FormResize();
}

TMainForm::~TMainForm() {
  if (ToolsPopupMenu) DestroyMenu(ToolsPopupMenu);
}

void TMainForm::FormShow() {
  FormResize();
  SetCaption("Quillon V" + GetVersionText(true));
  if (!EnsureSignedIn()) Close();
}

void TMainForm::FormClose() {
  if (!SessionState.SessionId.empty()) LogInForm->EndSession();
}

void TMainForm::FormEndSession() {
  // The process may be ended as soon as this returns: the closing request goes now, and without a message
  // box, which nobody could answer.
  if (!SessionState.SessionId.empty()) {
    LogInForm->EndSessionSilently();
    // Closed, whatever the answer: nothing on the way out may close it again.
    SessionState.SessionId.clear();
  }
  Application.Terminate();
}

bool TMainForm::EnsureSignedIn() {
  if (!SessionState.UserName.empty() && !SessionState.SessionId.empty()) return true;
  if (LogInForm->ShowModal() == TModalResult::Cancel) {
    Application.Terminate();
    return false;
  }
  SetLabel(UserLabel, "User name: " + SessionState.UserName, 8);
  SetLabel(AccessLevelLabel, "Access level: " + AccessLevelName(SessionState.AccessLevel), 24);
  return true;
}

void TMainForm::ToolsButtonClick() {
  POINT at{};
  GetCursorPos(&at);
  // Without this the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(Handle());
  TrackPopupMenu(ToolsPopupMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(),
                 nullptr);
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

void TMainForm::SetLabel(HWND label, const std::string& text, int top) {
  SetWindowTextA(label, text.c_str());
  // Labels fit their text, as long as it is.
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, Font());
  SIZE extent{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  MoveControl(label, 8, top, MulDiv(extent.cx, 96, Scale(96)) + 2, 13);
}

void TMainForm::FormResize() {
  RECT client{};
  GetClientRect(Handle(), &client);
  const int width = client.right - client.left;
  SetWindowPos(Panel1, nullptr, 0, 0, width, Scale(BarHeight), SWP_NOZORDER | SWP_NOACTIVATE);
  // The Tools button keeps its distance from the bar's right edge.
  SetWindowPos(ToolsButton, nullptr, width - Scale(ToolsWidth) - Scale(ToolsMargin), Scale(ToolsTop), 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

void TMainForm::DpiChanged() {
  SetLabel(UserLabel, WindowText(UserLabel), 8);
  SetLabel(AccessLevelLabel, WindowText(AccessLevelLabel), 24);
  FormResize();
}

LRESULT TMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      return TRUE;  // never in the way of a log-off or shutdown
    case WM_ENDSESSION:
      if (wParam) FormEndSession();
      return 0;
  }
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {  // menu items come with 0 too
    switch (LOWORD(wParam)) {
      case ToolsButtonId:
        ToolsButtonClick();
        return 0;
      case LogOutMenu:
        LogOutMenuClick();
        return 0;
      case ExitMenu:
        ExitMenuClick();
        return 0;
    }
  }
  return TForm::HandleMessage(message, wParam, lParam);
}
