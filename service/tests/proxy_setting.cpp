#include "service/tests/proxy_setting.h"

#include <windows.h>

namespace {

constexpr char SettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

HKEY OpenSettings() {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return key;
}

}  // namespace

ProxySetting::ProxySetting(std::uint16_t port) {
  HKEY key = OpenSettings();
  DWORD size = sizeof enable_;
  hadEnable_ = RegQueryValueExA(key, "ProxyEnable", nullptr, nullptr, reinterpret_cast<BYTE*>(&enable_),
                                &size) == ERROR_SUCCESS;
  char server[512] = {};
  size = sizeof server - 1;
  hadServer_ = RegQueryValueExA(key, "ProxyServer", nullptr, nullptr, reinterpret_cast<BYTE*>(server),
                                &size) == ERROR_SUCCESS;
  server_ = server;

  const DWORD on = 1;
  const std::string address = "127.0.0.1:" + std::to_string(port);
  RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
  RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(address.c_str()),
                 static_cast<DWORD>(address.size() + 1));
  RegCloseKey(key);
}

ProxySetting::~ProxySetting() {
  HKEY key = OpenSettings();
  if (hadEnable_) {
    const DWORD value = enable_;
    RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  } else {
    RegDeleteValueA(key, "ProxyEnable");
  }
  if (hadServer_) {
    RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server_.c_str()),
                   static_cast<DWORD>(server_.size() + 1));
  } else {
    RegDeleteValueA(key, "ProxyServer");
  }
  RegCloseKey(key);
}
