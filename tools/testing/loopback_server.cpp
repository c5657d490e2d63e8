#include "tools/testing/loopback_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cctype>
#include <chrono>
#include <stdexcept>

namespace {

struct TWinsockInit {
  TWinsockInit() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

SOCKET BoundListener(std::uint16_t& port) {
  static TWinsockInit init;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0) {
    closesocket(s);
    throw std::runtime_error("bind");
  }
  int length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return s;
}

void SendAll(SOCKET s, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const int n =
        send(s, bytes.data() + sent, static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 65536)), 0);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

// Without blocking in send, so that a client that stops reading cannot keep the server from stopping.
void SendEndlessly(SOCKET s, const std::string& piece, const std::atomic<bool>& stop) {
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  std::size_t at = 0;
  while (!stop) {
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(s, &writable);
    timeval wait{0, 50000};
    const int ready = select(0, nullptr, &writable, nullptr, &wait);
    if (ready < 0) return;
    if (ready == 0) continue;
    const int n = send(s, piece.data() + at, static_cast<int>(piece.size() - at), 0);
    if (n <= 0) {
      if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
      return;
    }
    at = (at + static_cast<std::size_t>(n)) % piece.size();
  }
}

// Says nothing until the client goes away or the server stops.
void AwaitGone(SOCKET s, const std::atomic<bool>& stop) {
  char chunk[512];
  while (!stop) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{0, 50000};
    const int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready < 0 || (ready > 0 && recv(s, chunk, sizeof chunk, 0) <= 0)) return;
  }
}

}  // namespace

std::string TLoopbackServer::TRequest::Header(const std::string& name) const {
  auto lower = [](std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string wanted = lower(name) + ":";
  std::size_t at = Head.find("\r\n");
  while (at != std::string::npos && at + 2 < Head.size()) {
    const std::size_t end = Head.find("\r\n", at + 2);
    const std::string line = Head.substr(at + 2, end == std::string::npos ? std::string::npos : end - at - 2);
    if (lower(line).starts_with(wanted)) {
      std::string value = line.substr(wanted.size());
      while (!value.empty() && value.front() == ' ') value.erase(0, 1);
      return value;
    }
    at = end;
  }
  return {};
}

TLoopbackServer::TLoopbackServer(THandler handler) : handler_(std::move(handler)) {
  listener_ = BoundListener(port_);
  thread_ = std::thread([this] { Serve(); });
}

TLoopbackServer::~TLoopbackServer() {
  stop_ = true;
  thread_.join();
  closesocket(static_cast<SOCKET>(listener_));
}

std::string TLoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<TLoopbackServer::TRequest> TLoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void TLoopbackServer::ForgetRequests() {
  std::lock_guard lock(mutex_);
  requests_ = {};
}

TLoopbackServer::TResponse TLoopbackServer::Reply(int status, const std::string& body,
                                                  const std::string& extraHeaders) {
  return {"HTTP/1.1 " + std::to_string(status) + " Status\r\nContent-Length: " + std::to_string(body.size()) +
          "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body};
}

std::uint16_t TLoopbackServer::ClosedPort() {
  std::uint16_t port = 0;
  closesocket(BoundListener(port));
  return port;
}

void TLoopbackServer::Serve() {
  const auto listener = static_cast<SOCKET>(listener_);
  while (!stop_) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener, &ready);
    timeval wait{0, 50000};
    if (select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
    const SOCKET client = accept(listener, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;

    std::string head;
    char chunk[4096];
    // A client that connects and says nothing may hold the server for a while, but not for good, and never
    // its stopping.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (head.find("\r\n\r\n") == std::string::npos && !stop_ &&
           std::chrono::steady_clock::now() < deadline) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(client, &readable);
      timeval wait{0, 50000};
      const int ready = select(0, &readable, nullptr, nullptr, &wait);
      if (ready < 0) break;
      if (ready == 0) continue;
      const int n = recv(client, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      head.append(chunk, static_cast<std::size_t>(n));
    }
    if (const auto end = head.find("\r\n\r\n"); end != std::string::npos) head.resize(end + 2);
    // A connection that closes before it says anything (a proxy probing its way here) is no request.
    if (head.empty()) {
      closesocket(client);
      continue;
    }

    TRequest request;
    request.Head = head;
    const auto space1 = head.find(' ');
    const auto space2 = head.find(' ', space1 + 1);
    if (space1 != std::string::npos && space2 != std::string::npos) {
      request.Method = head.substr(0, space1);
      request.Target = head.substr(space1 + 1, space2 - space1 - 1);
    }
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
    }
    const TResponse response = handler_(request);
    if (response.Never) AwaitGone(client, stop_);
    SendAll(client, response.Bytes);
    if (!response.Repeat.empty()) SendEndlessly(client, response.Repeat, stop_);
    if (response.Reset) {
      linger hard{1, 0};
      setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    } else {
      shutdown(client, SD_SEND);
    }
    closesocket(client);
  }
}
