#pragma once

#include <windows.h>

#include "session/form.h"

class TLogInForm;

// The main window: who is signed in and at which level, and a Tools menu to sign out or leave.
class TMainForm : public TForm {
 public:
  TMainForm();
  ~TMainForm() override;

  HWND Panel1 = nullptr;
  HWND UserLabel = nullptr;
  HWND AccessLevelLabel = nullptr;
  HWND ToolsButton = nullptr;
  HMENU ToolsPopupMenu = nullptr;
  // The sign-in dialog, made right after this window.
  TLogInForm* LogInForm = nullptr;
  static constexpr UINT LogOutMenu = 201;
  static constexpr UINT ExitMenu = 202;

  void FormShow() override;
  void FormClose() override;
  // Windows ends the session (log-off, shutdown).
  void FormEndSession();
  bool EnsureSignedIn();
  void ToolsButtonClick();
  void LogOutMenuClick();
  void ExitMenuClick();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void FormResize() override;
  void DpiChanged() override;

 private:
  void SetLabel(HWND label, const std::string& text, int top);
};
