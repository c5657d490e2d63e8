#pragma once

#include <string>

// The sign-in dialog's fields as the store of the remembered credentials sees them.
class TCredentialsFields {
 public:
  virtual ~TCredentialsFields() = default;
  virtual std::string UserText() const = 0;
  virtual void SetUserText(const std::string& text) = 0;
  virtual std::string PasswordText() const = 0;
  virtual void SetPasswordText(const std::string& text) = 0;
  virtual bool RememberMeChecked() const = 0;
  virtual void SetRememberMeChecked(bool checked) = 0;
  // Tells the user text: a modal message box with the application's title.
  virtual void Tell(const std::string& text) = 0;
};
