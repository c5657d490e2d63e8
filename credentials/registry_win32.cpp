#include "credentials/registry_win32.h"

#include <windows.h>

#include <string>

#include "win32/handles.h"

namespace {

HKEY RootKey(TRegistryRoot root) {
  switch (root) {
    case TRegistryRoot::CurrentUser:
      return HKEY_CURRENT_USER;
  }
  return nullptr;
}

class TWin32RegistryKey final : public TRegistryKey {
 public:
  bool OpenOrCreate(TRegistryRoot root, std::string_view path) override {
    key_.Reset();
    const std::string subkey(path);
    HKEY opened = nullptr;
    if (RegCreateKeyExA(RootKey(root), subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &opened, nullptr) != ERROR_SUCCESS)
      return false;
    key_.Reset(opened);
    return true;
  }

  std::string ReadText(std::string_view name) override {
    const std::string value(name);
    DWORD type = REG_NONE, size = 0;
    LONG status = RegQueryValueExA(key_.Get(), value.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return {};
    if (status != ERROR_SUCCESS) throw ERegistryException(FailedToGetDataMessage(name));
    std::string data(size, '\0');
    if (size > 0) {
      status = RegQueryValueExA(key_.Get(), value.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &size);
      if (status != ERROR_SUCCESS) throw ERegistryException(FailedToGetDataMessage(name));
      data.resize(size);
    }
    return RegistryValueText(name, type == REG_SZ || type == REG_EXPAND_SZ, data);
  }

  void WriteText(std::string_view name, std::string_view text) override {
    const std::string value(name), data(text);
    // With its terminating zero, as string values are kept.
    if (data.size() >= MAXDWORD ||
        RegSetValueExA(key_.Get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1)) != ERROR_SUCCESS)
      throw ERegistryException(FailedToSetDataMessage(name));
  }

  void DeleteValue(std::string_view name) override {
    const std::string value(name);
    RegDeleteValueA(key_.Get(), value.c_str());
  }

  void Close() noexcept override { key_.Reset(); }

 private:
  TKeyHandle key_;
};

}  // namespace

std::unique_ptr<TRegistryKey> MakeWin32RegistryKey() { return std::make_unique<TWin32RegistryKey>(); }

void LoadRememberedCredentials(TCredentialsFields& dialog) {
  TWin32RegistryKey key;
  LoadCredentialsFromKey(dialog, key);
}

void SaveRememberedCredentials(TCredentialsFields& dialog) {
  TWin32RegistryKey key;
  SaveCredentialsToKey(dialog, key);
}
