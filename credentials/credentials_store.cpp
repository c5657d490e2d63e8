#include "credentials/credentials_store.h"

#include <exception>

namespace {

class TOpenedKey {
 public:
  explicit TOpenedKey(TRegistryKey& key) : key_(key) {}
  ~TOpenedKey() { key_.Close(); }
  TOpenedKey(const TOpenedKey&) = delete;
  TOpenedKey& operator=(const TOpenedKey&) = delete;

 private:
  TRegistryKey& key_;
};

}  // namespace

void LoadCredentialsFromKey(TCredentialsFields& dialog, TRegistryKey& key) {
  dialog.SetRememberMeChecked(false);
  if (!key.OpenOrCreate(CredentialsRoot, CredentialsKeyPath)) return;
  const TOpenedKey opened(key);
  // A value that cannot be read as text is as useless as one that does not decipher.
  try {
    const std::string user = key.ReadText(UsernameValueName);
    const std::string password = key.ReadText(PasswordValueName);
    if (user.empty() || password.empty()) return;
    dialog.SetUserText(CipherEnvelope(user, CredentialsKey, false));
    dialog.SetPasswordText(CipherEnvelope(password, CredentialsKey, false));
    dialog.SetRememberMeChecked(true);
  } catch (const std::exception&) {
    dialog.ShowMessage(std::string(RetrieveFailedMessage));
  }
}

void SaveCredentialsToKey(TCredentialsFields& dialog, TRegistryKey& key) {
  if (!key.OpenOrCreate(CredentialsRoot, CredentialsKeyPath)) return;
  const TOpenedKey opened(key);
  if (dialog.RememberMeChecked()) {
    // Each value on its own: a failure at the password leaves the new user name written.
    try {
      key.WriteText(UsernameValueName, CipherEnvelope(dialog.UserText(), CredentialsKey, true));
      key.WriteText(PasswordValueName, CipherEnvelope(dialog.PasswordText(), CredentialsKey, true));
    } catch (const std::exception&) {
      dialog.ShowMessage(std::string(SaveFailedMessage));
    }
  } else {
    try {
      key.DeleteValue(UsernameValueName);
      key.DeleteValue(PasswordValueName);
    } catch (const std::exception&) {
      dialog.ShowMessage(std::string(RemoveFailedMessage));
    }
  }
}
