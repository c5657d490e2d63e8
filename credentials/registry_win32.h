#pragma once

// The store of the remembered credentials against the registry of the running Windows session.

#include <memory>
#include <string_view>

#include "credentials/credentials_store.h"

// HKEY_CURRENT_USER of the running Windows session.
class TWin32Registry final : public TRegistry {
 public:
  std::unique_ptr<TRegistryKey> OpenOrCreate(std::string_view path) override;
};

// The store against the real registry, for the sign-in dialog.
void LoadRememberedCredentials(TCredentialsFields& dialog);
void SaveRememberedCredentials(TCredentialsFields& dialog);
