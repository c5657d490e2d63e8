#include "credentials/registry_win32.h"

#include <windows.h>

#include <string>
#include <utility>

#include "win32/handles.h"

namespace {

class TWin32RegistryKey final : public TRegistryKey {
 public:
  explicit TWin32RegistryKey(TKeyHandle key) : key_(std::move(key)) {}

  std::string ReadText(std::string_view name) override {
    const std::string value(name);
    DWORD type = REG_NONE, size = 0;
    LONG status = RegQueryValueExA(key_.Get(), value.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return {};
    if (status != ERROR_SUCCESS) throw ERegistryException();
    std::string data(size, '\0');
    if (size > 0) {
      status = RegQueryValueExA(key_.Get(), value.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &size);
      if (status != ERROR_SUCCESS) throw ERegistryException();
      data.resize(size);
    }
    return RegistryValueText(type == REG_SZ || type == REG_EXPAND_SZ, data);
  }

  void WriteText(std::string_view name, std::string_view text) override {
    const std::string value(name), data(text);
    // With its terminating zero, as string values are kept.
    if (data.size() >= MAXDWORD ||
        RegSetValueExA(key_.Get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>(data.size() + 1)) != ERROR_SUCCESS)
      throw ERegistryException();
  }

  void DeleteValue(std::string_view name) override {
    const std::string value(name);
    RegDeleteValueA(key_.Get(), value.c_str());
  }

 private:
  TKeyHandle key_;
};

}  // namespace

std::unique_ptr<TRegistryKey> TWin32Registry::OpenOrCreate(std::string_view path) {
  const std::string subkey(path);
  HKEY opened = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &opened, nullptr) != ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<TWin32RegistryKey>(TKeyHandle(opened));
}

void LoadRememberedCredentials(TCredentialsFields& dialog) {
  TWin32Registry registry;
  LoadCredentials(dialog, registry);
}

void SaveRememberedCredentials(TCredentialsFields& dialog) {
  TWin32Registry registry;
  SaveCredentials(dialog, registry);
}
