#include <windows.h>
#include <wininet.h>

#include <memory>
#include <utility>
#include <vector>

#include "service/retrieve.h"
#include "win32/executable.h"
#include "win32/handles.h"

namespace {

constexpr DWORD ConnectTimeoutMs = 5000;
constexpr DWORD ReceiveTimeoutMs = 300000;
constexpr DWORD ReadSize = 32768;
// Over plain HTTP anyone on the path can send a body without end; no answer of the service comes near this.
constexpr unsigned long long MaxAnswerSize = 64ULL << 20;
// Every answer from the server itself, through any caching proxy on the way, and nothing of it (the
// sign-in address carries the password) in the user's Internet cache. No cookies: over plain HTTP anyone
// on the way could set one, a marker that would stay on the user's disk and go out with every sign-in.
// A redirect is followed between http and https alike, whatever Internet Options say of changing between
// secure and not secure: that setting fails it on some machines, and a service that moves to https
// redirects so.
constexpr DWORD OpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE |
                            INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
                            INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP;

void SetTimeout(HINTERNET session, DWORD option, DWORD milliseconds) {
  // The outcome is not examined: a session without the time-out still works.
  InternetSetOptionA(session, option, &milliseconds, sizeof milliseconds);
}

// WinINet (Wine's at least) reports a connection cut inside a body as an ordinary end of data, so the
// declared length is the only witness of a cut-off answer.
bool ShorterThanDeclared(HINTERNET url, unsigned long long received) {
  char text[32];
  DWORD size = sizeof text;
  DWORD index = 0;
  if (!HttpQueryInfoA(url, HTTP_QUERY_CONTENT_LENGTH, text, &size, &index)) return false;
  unsigned long long declared = 0;
  for (DWORD i = 0; i < size; ++i) {
    if (text[i] < '0' || text[i] > '9' || declared > (~0ULL - 9) / 10) return false;
    declared = declared * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return received < declared;
}

}  // namespace

void PrepareRetrieval() {
  const TInternetHandle session(
      InternetOpenA(ExecutableFileName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

bool RetrieveUrl(const std::string& address, std::string& reply, const std::function<void()>& progress) {
  try {
    const std::string agent = ExecutableFileName();
    // Declared before the URL handle, so that the URL handle is closed first on every path.
    const TInternetHandle session(
        InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    SetTimeout(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, ConnectTimeoutMs);
    SetTimeout(session.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, ReceiveTimeoutMs);

    const TInternetHandle url(InternetOpenUrlA(session.Get(), address.c_str(), nullptr, 0, OpenFlags, 0));
    if (!url) return false;

    std::vector<char> buffer(ReadSize);
    unsigned long long received = 0;
    for (;;) {
      DWORD delivered = 0;
      // A failed read (a cut connection, a time-out) means the answer is incomplete: never report it as
      // a whole one.
      if (!InternetReadFile(url.Get(), buffer.data(), ReadSize, &delivered)) return false;
      reply.append(buffer.data(), delivered);
      received += delivered;
      if (received > MaxAnswerSize) return false;
      if (progress) progress();
      if (delivered == 0) return !ShorterThanDeclared(url.Get(), received);
    }
  } catch (...) {
    return false;
  }
}

std::optional<std::string> RetrieveUrlWithin(const std::string& address, std::chrono::milliseconds limit) {
  struct TCall {
    std::string Address;
    std::string Reply;
    bool Whole = false;
  };
  try {
    // Shared with the thread, which may outlive this call.
    auto call = std::make_shared<TCall>(TCall{address, {}, false});
    auto threads = std::make_unique<std::shared_ptr<TCall>>(call);
    const TKernelHandle thread(CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
          const std::unique_ptr<std::shared_ptr<TCall>> own(static_cast<std::shared_ptr<TCall>*>(parameter));
          TCall& c = **own;
          c.Whole = RetrieveUrl(c.Address, c.Reply);
          return 0;
        },
        threads.get(), 0, nullptr));
    if (!thread) return std::nullopt;
    // Now the thread's own.
    static_cast<void>(threads.release());
    if (WaitForSingleObject(thread.Get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0 || !call->Whole)
      return std::nullopt;
    return std::move(call->Reply);
  } catch (...) {
    return std::nullopt;
  }
}
