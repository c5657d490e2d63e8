#include "session/login_form.h"

#include <shellapi.h>

#include "credentials/registry_win32.h"
#include "quillon_config.h"
#include "service/request.h"
#include "service/retrieve.h"
#include "session/answer_document.h"
#include "session/protocol.h"
#include "session/session_state.h"
#include "ui/accessible.h"
#include "ui/link_label.h"
#include "ui/message.h"
#include "win32/com.h"

namespace {

// The dialog's fields, with its messages kept to itself: for when nobody is left to answer one.
class TQuietFields final : public TCredentialsFields {
 public:
  explicit TQuietFields(TCredentialsFields& fields) : fields_(fields) {}
  std::string UserText() const override { return fields_.UserText(); }
  void SetUserText(const std::string& text) override { fields_.SetUserText(text); }
  std::string PasswordText() const override { return fields_.PasswordText(); }
  void SetPasswordText(const std::string& text) override { fields_.SetPasswordText(text); }
  bool RememberMeChecked() const override { return fields_.RememberMeChecked(); }
  void SetRememberMeChecked(bool checked) override { fields_.SetRememberMeChecked(checked); }
  void Tell(const std::string&) override {}

 private:
  TCredentialsFields& fields_;
};

void OpenAccountPage(const char* path) {
  // A link may be pressed before the dialog's readying has made the apartment.
  EnsureComApartment();
  const std::string address = std::string("https://") + QUILLON_ACCOUNT_SITE_HOST + path;
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

TLogInForm::TLogInForm() {
  CreateForm("Log In", {WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                        WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW, 284, 111, true});
  HWND form = Handle();
  // Created in tab order; the captions take no focus.
  AddControl(form, "STATIC", "Username", 0, {.Left = 8, .Top = 8, .Width = 60, .Height = 13});
  UserEdit = AddControl(form, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL,
                        {.Left = 8, .Top = 24, .Width = 121, .Height = 21}, WS_EX_CLIENTEDGE);
  AddControl(form, "STATIC", "Password", 0, {.Left = 136, .Top = 8, .Width = 60, .Height = 13});
  PasswordEdit = AddControl(form, "EDIT", "ABC", WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD,
                            {.Left = 136, .Top = 24, .Width = 121, .Height = 24}, WS_EX_CLIENTEDGE);
  RememberMeCheckBox = AddControl(form, "BUTTON", "Remember me", WS_TABSTOP | BS_AUTOCHECKBOX,
                                  {.Left = 8, .Top = 48, .Width = 97, .Height = 17});
  LogInButton =
      AddControl(form, "BUTTON", "Log In", WS_TABSTOP | BS_DEFPUSHBUTTON,
                 {.Left = 152, .Top = 72, .Width = 48, .Height = 25}, &TLogInForm::LogInButtonClick, IDOK);
  CancelButton = AddControl(form, "BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON,
                            {.Left = 208, .Top = 72, .Width = 48, .Height = 25},
                            &TLogInForm::CancelButtonClick, IDCANCEL);
  // After Cancel in the tab order, so that keyboard users reach them too.
  UsernameLabel =
      AddControl(form, TLinkLabel::ClassName, "Forgot username?", WS_TABSTOP,
                 {.Left = 8, .Top = 69, .Width = 90, .Height = 13}, &TLogInForm::UsernameLabelClick);
  PasswordLabel =
      AddControl(form, TLinkLabel::ClassName, "Forgot password?", WS_TABSTOP,
                 {.Left = 8, .Top = 87, .Width = 90, .Height = 13}, &TLogInForm::PasswordLabelClick);
}

std::string TLogInForm::UserText() const { return WindowText(UserEdit); }
void TLogInForm::SetUserText(const std::string& text) { SetWindowTextA(UserEdit, text.c_str()); }
std::string TLogInForm::PasswordText() const { return WindowText(PasswordEdit); }
void TLogInForm::SetPasswordText(const std::string& text) { SetWindowTextA(PasswordEdit, text.c_str()); }
bool TLogInForm::RememberMeChecked() const {
  return SendMessageA(RememberMeCheckBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void TLogInForm::SetRememberMeChecked(bool checked) {
  SendMessageA(RememberMeCheckBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TLogInForm::FormShow() { LoadRememberedCredentials(*this); }

void TLogInForm::FormShown() {
  // While the user reads the dialog: what the first sign-in would otherwise wait for.
  if (prepared_) return;
  prepared_ = true;
  PrepareRetrieval();
  PrepareAnswerParser();
  TApplication::PrepareBusy();
}

void TLogInForm::LogInButtonClick() {
  TBusy busy(LogInButton);
  SessionState.SessionId.clear();
  SessionState.UserName = UserText();
  Request(1, "key", MakeSignInKey(UserText(), PasswordText()), &busy);
}

void TLogInForm::CancelButtonClick() { SetModalResult(TModalResult::Cancel); }

void TLogInForm::UsernameLabelClick() { OpenAccountPage("/Account/ForgotUserName"); }

void TLogInForm::PasswordLabelClick() { OpenAccountPage("/Account/ForgotPassword"); }

void TLogInForm::Tell(const std::string& text) { ShowMessage(text); }

void TLogInForm::ServerFailure() { ServerFailure(*this); }

void TLogInForm::ServerFailure(TCredentialsFields& fields) {
  fields.Tell("Failed to connect to server");
  SetModalResult(TModalResult::Cancel);
}

void TLogInForm::HandleAnswer(const std::string& answer) { HandleAnswer(answer, *this); }

void TLogInForm::HandleAnswer(const std::string& answer, TCredentialsFields& fields) {
  const TAnswerOutcome outcome = InterpretAnswer(answer, SessionState);
  if (outcome.Kind == TAnswerKind::Accepted) {
    SetModalResult(TModalResult::OK);
    SaveRememberedCredentials(fields);
  } else {
    fields.Tell(outcome.Message);
  }
}

void TLogInForm::EndSession() { Request(2, "session", SessionState.SessionId); }

void TLogInForm::Request(std::int32_t function, const char* name, const std::string& value, TBusy* busy) {
  std::string reply;
  const bool retrieved = RetrieveUrl(BuildRequestUrl(function, {name}, {value}), reply);
  if (busy) busy->End();
  if (retrieved)
    HandleAnswer(reply);
  else
    ServerFailure();
}

void TLogInForm::EndSessionWithin(std::chrono::milliseconds limit) {
  TQuietFields quiet(*this);
  try {
    if (auto reply = RetrieveUrlWithin(BuildRequestUrl(2, {"session"}, {SessionState.SessionId}), limit))
      HandleAnswer(*reply, quiet);
    else
      ServerFailure(quiet);
  } catch (...) {
    // A failure is as quiet as the rest.
  }
}

LRESULT TLogInForm::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_GETOBJECT:
      // A dialog to screen readers, which read it so as it opens.
      if (const LRESULT object = AnswerAccessibleObject(Handle(), wParam, lParam, {ROLE_SYSTEM_DIALOG}))
        return object;
      break;
  }
  return TForm::HandleWindowMessage(message, wParam, lParam);
}
