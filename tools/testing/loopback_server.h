#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP server on 127.0.0.1 for the tests of the windows tree, answering from a thread of the test
// process. Each connection carries one request and is closed after the answer.
class TLoopbackServer {
 public:
  struct TRequest {
    std::string Method;
    std::string Target;
    std::string Head;  // request line and headers as received
    std::string Header(const std::string& name) const;
  };
  struct TResponse {
    std::string Bytes;     // sent as they stand: status line, headers and body
    bool Reset = false;    // after sending, cut the connection with a reset instead of closing it
    std::string Repeat{};  // when not empty, sent after bytes again and again, until the client goes away
    bool Never = false;    // no answer at all: the connection is held, silent, until the client goes away
  };
  using THandler = std::function<TResponse(const TRequest&)>;

  explicit TLoopbackServer(THandler handler);
  ~TLoopbackServer();
  TLoopbackServer(const TLoopbackServer&) = delete;
  TLoopbackServer& operator=(const TLoopbackServer&) = delete;

  std::uint16_t Port() const { return port_; }
  std::string Url(const std::string& path) const;
  std::vector<TRequest> Requests() const;
  // Drops the requests recorded so far, so that a long run does not grow the record without bound.
  void ForgetRequests();

  // A whole answer with a Content-Length.
  static TResponse Reply(int status, const std::string& body, const std::string& extraHeaders = {});
  // A port on 127.0.0.1 that nothing listens on.
  static std::uint16_t ClosedPort();

 private:
  void Serve();

  THandler handler_;
  std::uintptr_t listener_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<TRequest> requests_;
  std::thread thread_;
};
