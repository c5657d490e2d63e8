#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "service.h"

namespace refservice {

// One line per request, flushed at once so that a test can read it as soon as it has its answer.
class TRequestLog {
 public:
  explicit TRequestLog(std::FILE* file) : file_(file) {}
  void Write(const std::string& line);

 private:
  std::mutex mutex_;
  std::FILE* file_;
};

// HTTP/1.1 on 127.0.0.1 over POSIX sockets: one request per connection, one thread per connection.
class TServer {
 public:
  TServer(TService& service, TRequestLog& log, std::chrono::milliseconds delay);
  ~TServer();
  TServer(const TServer&) = delete;
  TServer& operator=(const TServer&) = delete;

  // Binds 127.0.0.1:port, a free port for 0, and returns the port. Throws std::runtime_error.
  std::uint16_t Listen(std::uint16_t port);
  // Serves until stopFd becomes readable, then drops what is in flight and returns.
  void Run(int stopFd);

 private:
  struct TWorker {
    std::thread Thread;
    std::shared_ptr<bool> Done;
  };
  void Serve(int fd);
  bool ReadHead(int fd, std::string& head);
  void Reap(bool all);

  TService& service_;
  TRequestLog& log_;
  std::chrono::milliseconds delay_;
  int listener_ = -1;

  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::set<int> open_;
  std::list<TWorker> workers_;
};

}  // namespace refservice
