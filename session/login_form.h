#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "credentials/credentials_fields.h"
#include "ui/busy.h"
#include "ui/form.h"

// The sign-in dialog: asks for a user name and a password, signs in with the service and leaves the
// granted session in SessionState. The same object also sends the closing request of a session.
class TLogInForm : public TForm, public TCredentialsFields {
 public:
  TLogInForm();

  HWND UserEdit = nullptr;
  HWND PasswordEdit = nullptr;
  HWND RememberMeCheckBox = nullptr;
  HWND LogInButton = nullptr;
  HWND CancelButton = nullptr;
  HWND UsernameLabel = nullptr;
  HWND PasswordLabel = nullptr;

  void FormShow() override;
  void FormShown() override;
  void LogInButtonClick();
  void CancelButtonClick();
  void UsernameLabelClick();
  void PasswordLabelClick();

  void ServerFailure();
  void HandleAnswer(const std::string& answer);
  void EndSession();
  // EndSession while Windows ends its session: nobody is left to answer a message, so none is shown, and
  // the answer is waited for no longer than limit, so that the log-off never waits on the service.
  void EndSessionWithin(std::chrono::milliseconds limit);

  std::string UserText() const override;
  void SetUserText(const std::string& text) override;
  std::string PasswordText() const override;
  void SetPasswordText(const std::string& text) override;
  bool RememberMeChecked() const override;
  void SetRememberMeChecked(bool checked) override;
  void Tell(const std::string& text) override;

 protected:
  LRESULT HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // One request of the service with a single parameter: the answer goes to HandleAnswer, a failed
  // retrieval to ServerFailure, each after the busy state (if any) has ended.
  void Request(std::int32_t function, const char* name, const std::string& value, TBusy* busy = nullptr);
  // The two outcomes of a request, with the messages and the store's work going to fields: the form
  // itself, or a stand-in that keeps its messages to itself.
  void ServerFailure(TCredentialsFields& fields);
  void HandleAnswer(const std::string& answer, TCredentialsFields& fields);

  bool prepared_ = false;
};
