#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/testing/loopback_server.h"

// The account service as a test scripts it, on a loopback server: an answer for each user name and password
// that signs in and for each session that is closed, and one for any other of each. Any request that does
// not close a session signs in.
class TFakeService {
 public:
  using TResponse = TLoopbackServer::TResponse;
  struct TSignIn {
    std::string User;  // user name and password as the program sends them: bytes of its ANSI code page
    std::string Password;
    TResponse Answer;
  };
  struct TClosing {
    std::string Session;
    TResponse Answer;
  };
  struct TScript {
    std::vector<TSignIn> SignIns{};
    TResponse OtherSignIn = Error(2, "Wrong password");
    std::vector<TClosing> Closings{};
    // None: the session named back, as the reference service closes one.
    std::optional<TResponse> OtherClosing{};
  };

  explicit TFakeService(TScript script);

  std::uint16_t Port() const { return server_.Port(); }
  std::vector<TLoopbackServer::TRequest> Requests() const { return server_.Requests(); }
  void ForgetRequests() { server_.ForgetRequests(); }

  // The service's answer document, around what its license element holds.
  static TResponse Document(const std::string& license, const std::string& extraHeaders = {});
  static TResponse Session(const std::string& id, int accessLevel);
  static TResponse Error(int code, const std::string& message);

 private:
  TResponse Answer(const TLoopbackServer::TRequest& request) const;

  TScript script_;
  TLoopbackServer server_;
};
