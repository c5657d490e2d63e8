#pragma once

#include <windows.h>

#include <string>

#include "ui/form.h"
#include "win32/handles.h"

class TLogInForm;

// The main window: who is signed in and at which level, and a Tools menu to sign out or leave.
class TMainForm : public TForm {
 public:
  TMainForm();

  HWND Panel1 = nullptr;
  HWND UserLabel = nullptr;
  HWND AccessLevelLabel = nullptr;
  HWND ToolsButton = nullptr;
  TMenu ToolsPopupMenu;
  // The sign-in dialog, made right after this window.
  TLogInForm* LogInForm = nullptr;

  void FormShow() override;
  void FormClose() override;
  // Windows ends the session (log-off, shutdown).
  void FormEndSession();
  bool EnsureSignedIn();
  void ToolsButtonClick();
  void LogOutMenuClick();
  void ExitMenuClick();

 protected:
  LRESULT HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void DpiChanged() override;

 private:
  // Sets a label's text and fits its width to it.
  void SetLabel(HWND label, const std::string& text);
};
