#include "credentials/credentials_store.h"

#include <exception>

void LoadCredentials(TCredentialsFields& dialog, TRegistry& registry) {
  dialog.SetRememberMeChecked(false);
  const auto key = registry.OpenOrCreate(CredentialsKeyPath);
  if (!key) return;
  // A value that cannot be read as text is as useless as one that does not decipher.
  try {
    const std::string user = key->ReadText(UsernameValueName);
    const std::string password = key->ReadText(PasswordValueName);
    if (user.empty() || password.empty()) return;
    dialog.SetUserText(CipherEnvelope(user, CredentialsKey, false));
    dialog.SetPasswordText(CipherEnvelope(password, CredentialsKey, false));
    dialog.SetRememberMeChecked(true);
  } catch (const std::exception&) {
    dialog.Tell(std::string(RetrieveFailedMessage));
  }
}

void SaveCredentials(TCredentialsFields& dialog, TRegistry& registry) {
  const auto key = registry.OpenOrCreate(CredentialsKeyPath);
  if (!key) return;
  if (dialog.RememberMeChecked()) {
    // Each value on its own: a failure at the password leaves the new user name written.
    try {
      key->WriteText(UsernameValueName, CipherEnvelope(dialog.UserText(), CredentialsKey, true));
      key->WriteText(PasswordValueName, CipherEnvelope(dialog.PasswordText(), CredentialsKey, true));
    } catch (const std::exception&) {
      dialog.Tell(std::string(SaveFailedMessage));
    }
  } else {
    try {
      key->DeleteValue(UsernameValueName);
      key->DeleteValue(PasswordValueName);
    } catch (const std::exception&) {
      dialog.Tell(std::string(RemoveFailedMessage));
    }
  }
}
