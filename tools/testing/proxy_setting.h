#pragma once

#include <cstdint>
#include <string>

// Proxies for the tests of the windows tree.

// Points WinINet's system proxy setting (the current user's Internet Settings) at a loopback port, so that
// requests to the fixed service address reach a test server; restores the earlier setting when it ends.
class TProxySetting {
 public:
  explicit TProxySetting(std::uint16_t port);
  ~TProxySetting();
  TProxySetting(const TProxySetting&) = delete;
  TProxySetting& operator=(const TProxySetting&) = delete;

 private:
  bool hadEnable_ = false;
  unsigned long enable_ = 0;
  bool hadServer_ = false;
  std::string server_;
};

// A real caching proxy, squid, on a free loopback port in front of a loopback service as its origin, with a
// configuration and a folder of its own (caching_proxy.sh). Started by Wine's fallback for Unix programs,
// which gives no process handle: the script stops squid by its process id when this goes.
class TCachingProxy {
 public:
  explicit TCachingProxy(std::uint16_t servicePort);
  ~TCachingProxy();
  TCachingProxy(const TCachingProxy&) = delete;
  TCachingProxy& operator=(const TCachingProxy&) = delete;

  std::uint16_t Port() const { return port_; }
  // Empty once squid accepts connections; otherwise why it does not, with squid's own words.
  const std::string& Failure() const { return failure_; }

 private:
  std::uint16_t port_ = 0;
  std::string folder_;  // as Wine's Z: drive sees it
  std::string failure_;
};
