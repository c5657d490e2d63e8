#pragma once

#include <string>
#include <string_view>

#include "credentials/cipher_envelope.h"
#include "credentials/credentials_fields.h"
#include "credentials/credentials_key.h"
#include "credentials/registry_key.h"

inline constexpr std::string_view CredentialsKeyPath = "SOFTWARE\\Brovik\\Licenses\\Options";
inline constexpr std::string_view UsernameValueName = "Username";
inline constexpr std::string_view PasswordValueName = "Password";

inline constexpr std::string_view RetrieveFailedMessage = "Cannot retrieve saved username/password";
inline constexpr std::string_view SaveFailedMessage = "Cannot save username/password";
inline constexpr std::string_view RemoveFailedMessage = "Cannot remove username/password";

// Fills the user name and password from the key's values and checks "Remember me" when both were remembered
// and decipher. Tells the user itself when something cannot be read; raises nothing.
void LoadCredentials(TCredentialsFields& dialog, TRegistry& registry);

// After a successful sign-in: stores both fields enciphered when "Remember me" is checked, otherwise
// removes them. Tells the user itself when that fails; raises nothing.
void SaveCredentials(TCredentialsFields& dialog, TRegistry& registry);
