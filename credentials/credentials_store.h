#pragma once

#include <string>
#include <string_view>

#include "credentials/cipher_envelope.h"
#include "credentials/credentials_key.h"
#include "credentials/registry_key.h"

inline constexpr RegistryRoot CredentialsRoot = RegistryRoot::CurrentUser;
inline constexpr std::string_view CredentialsKeyPath = "SOFTWARE\\Brovik\\Licenses\\Options";
inline constexpr std::string_view UsernameValueName = "Username";
inline constexpr std::string_view PasswordValueName = "Password";

inline constexpr std::string_view RetrieveFailedMessage = "Cannot retrieve saved username/password";
inline constexpr std::string_view SaveFailedMessage = "Cannot save username/password";
inline constexpr std::string_view RemoveFailedMessage = "Cannot remove username/password";

// The sign-in dialog's fields as the store sees them.
class CredentialsFields {
 public:
  virtual ~CredentialsFields() = default;
  virtual std::string UserText() const = 0;
  virtual void SetUserText(const std::string& text) = 0;
  virtual std::string PasswordText() const = 0;
  virtual void SetPasswordText(const std::string& text) = 0;
  virtual bool RememberMeChecked() const = 0;
  virtual void SetRememberMeChecked(bool checked) = 0;
  // A modal message box with the application's title.
  virtual void ShowMessage(const std::string& text) = 0;
};

// Fills the user name and password from the registry and checks "Remember me" when both were remembered
// and decipher. Tells the user itself when something cannot be read; raises nothing.
void LoadRememberedCredentials(CredentialsFields& dialog, RegistryKey& key);

// After a successful sign-in: stores both fields enciphered when "Remember me" is checked, otherwise
// removes them. Tells the user itself when that fails; raises nothing.
void SaveRememberedCredentials(CredentialsFields& dialog, RegistryKey& key);
