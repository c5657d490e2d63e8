#pragma once

#include <memory>

#include "credentials/credentials_store.h"

// The registry of the running Windows session.
std::unique_ptr<TRegistryKey> MakeWin32RegistryKey();

// The store against the real registry, for the sign-in dialog.
void LoadRememberedCredentials(TCredentialsFields& dialog);
void SaveRememberedCredentials(TCredentialsFields& dialog);
