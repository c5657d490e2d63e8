#pragma once

#include <cstdint>
#include <string>

// Points WinINet's system proxy setting (the current user's Internet Settings) at a loopback port, so that
// requests to the fixed service address reach a test server; restores the earlier setting when it ends.
class ProxySetting {
 public:
  explicit ProxySetting(std::uint16_t port);
  ~ProxySetting();
  ProxySetting(const ProxySetting&) = delete;
  ProxySetting& operator=(const ProxySetting&) = delete;

 private:
  bool hadEnable_ = false;
  unsigned long enable_ = 0;
  bool hadServer_ = false;
  std::string server_;
};
