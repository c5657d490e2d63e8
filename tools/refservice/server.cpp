#include "server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace refservice {
namespace {

constexpr std::size_t MaxHead = 16384;
constexpr int SocketTimeoutSeconds = 10;
constexpr int LingerSeconds = 2;

void SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const auto n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the client went away; nobody to tell
    sent += std::size_t(n);
  }
}

// "GET /target HTTP/1.1": false unless there are exactly three parts and an HTTP version.
bool ParseRequestLine(const std::string& head, std::string& method, std::string& target) {
  std::string line = head.substr(0, head.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const auto first = line.find(' ');
  const auto second = first == std::string::npos ? first : line.find(' ', first + 1);
  if (second == std::string::npos || line.find(' ', second + 1) != std::string::npos) return false;
  method = line.substr(0, first);
  target = line.substr(first + 1, second - first - 1);
  return !method.empty() && !target.empty() && line.compare(second + 1, 5, "HTTP/") == 0;
}

}  // namespace

void TRequestLog::Write(const std::string& line) {
  std::lock_guard lock(mutex_);
  std::fputs(line.c_str(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

TServer::TServer(TService& service, TRequestLog& log, std::chrono::milliseconds delay)
    : service_(service), log_(log), delay_(delay) {}

TServer::~TServer() {
  if (listener_ >= 0) ::close(listener_);
}

std::uint16_t TServer::Listen(std::uint16_t port) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  const int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("bind 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno));
  if (::listen(listener_, 64) != 0) throw std::runtime_error(std::string("listen: ") + std::strerror(errno));
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

void TServer::Run(int stopFd) {
  while (true) {
    pollfd fds[2] = {{listener_, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) break;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Reap(false);
    std::lock_guard lock(mutex_);
    open_.insert(fd);
    auto done = std::make_shared<bool>(false);
    workers_.push_back({std::thread([this, fd, done] {
                          Serve(fd);
                          std::lock_guard lock(mutex_);
                          open_.erase(fd);
                          ::close(fd);
                          *done = true;
                        }),
                        done});
  }
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    // Wakes workers that wait for a request head; they find the connection ended.
    for (const int fd : open_) ::shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  Reap(true);
}

void TServer::Reap(bool all) {
  std::list<TWorker> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      if (all || *it->Done) {
        finished.splice(finished.end(), workers_, it++);
      } else {
        ++it;
      }
    }
  }
  for (auto& worker : finished) worker.Thread.join();
}

bool TServer::ReadHead(int fd, std::string& head) {
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
    if (head.size() > MaxHead) return false;
    const auto n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    head.append(buffer, std::size_t(n));
  }
  return true;
}

void TServer::Serve(int fd) {
  const timeval timeout{SocketTimeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);

  std::string head;
  const bool complete = ReadHead(fd, head);
  if (head.empty()) return;  // a connection that sent nothing is no request
  std::string method, target;
  TResult result;
  if (!complete) {
    result =
        TService::BadRequest(head.size() > MaxHead ? "request head too large" : "incomplete request head");
  } else if (!ParseRequestLine(head, method, target)) {
    result = TService::BadRequest("malformed request line");
  } else {
    bool stopping;
    {
      std::unique_lock lock(mutex_);
      stopping = stopped_.wait_for(lock, delay_, [this] { return stopping_; });
    }
    result = service_.Handle(method, target);
    if (stopping) {
      result.Outcome += " (not sent: service stopping)";
      log_.Write(LogLine(std::chrono::system_clock::now(), result));
      return;
    }
  }
  // Logged before it is sent, so whoever has the answer finds the line already written.
  log_.Write(LogLine(std::chrono::system_clock::now(), result));
  SendAll(fd, HttpResponse(result));
  // Closing with unread bytes would reset the connection and could take the answer with it: let the client
  // close first.
  ::shutdown(fd, SHUT_WR);
  const timeval linger{LingerSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &linger, sizeof linger);
  char buffer[4096];
  while (::recv(fd, buffer, sizeof buffer, 0) > 0) {
  }
}

}  // namespace refservice
