#include "tools/testing/proxy_setting.h"

#include <winsock2.h>  // brings windows.h, in the order it needs

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/testing/gui/driver.h"
#include "tools/testing/loopback_server.h"
#include "win32/handles.h"

namespace {

using namespace std::chrono_literals;

constexpr char SettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

TKeyHandle OpenSettings() {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return TKeyHandle(key);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

bool Accepts(std::uint16_t port) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool accepted = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  closesocket(s);
  return accepted;
}

}  // namespace

TProxySetting::TProxySetting(std::uint16_t port) {
  const TKeyHandle settings = OpenSettings();
  HKEY key = settings.Get();
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
}

TProxySetting::~TProxySetting() {
  const TKeyHandle settings = OpenSettings();
  HKEY key = settings.Get();
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
}

TCachingProxy::TCachingProxy(std::uint16_t servicePort) : port_(TLoopbackServer::ClosedPort()) {
  // Outside the root user's home folder, which squid's own user could not enter.
  const std::string folder =
      "/tmp/quillon-squid-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(port_);
  folder_ = gui::WindowsPath(folder);
  std::string command = "Z:\\bin\\sh \"" QUILLON_CACHING_PROXY_SCRIPT "\" \"" + folder + "\" " +
                        std::to_string(port_) + " " + std::to_string(servicePort);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    failure_ = "cannot start " + command;
    folder_.clear();
    return;
  }
  // A Unix program comes back without handles; close whatever there is.
  if (started.hProcess) CloseHandle(started.hProcess);
  if (started.hThread) CloseHandle(started.hThread);
  if (!gui::WaitUntil([&] { return Accepts(port_) || Exists(folder_ + "\\failed"); }, 20s)) {
    failure_ = "squid did not accept connections on port " + std::to_string(port_) + " within 20 s";
  } else if (Exists(folder_ + "\\failed")) {
    failure_ = FileText(folder_ + "\\failed");
  }
  if (!failure_.empty())
    failure_ += "\n" + FileText(folder_ + "\\squid.out") + FileText(folder_ + "\\cache.log");
}

TCachingProxy::~TCachingProxy() {
  if (folder_.empty()) return;
  // The folder may not be there yet when the script never ran; then there is nothing to stop either.
  std::ofstream(folder_ + "\\stop").put('\n');
  if (!gui::WaitUntil([&] { return !Exists(folder_); }, 30s))
    std::fprintf(stderr, "squid in %s did not stop within 30 s\n", folder_.c_str());
}
