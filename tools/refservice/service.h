#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The account service's behaviour behind the socket: demo users, open sessions, one answer per request.
namespace refservice {

struct TAccount {
  std::string Name;  // ANSI bytes
  std::string Password;
  std::int32_t AccessLevel = 0;
};

// One account per line: name, password and access level, separated by tabs. Lines that start with "#" and
// blank lines are skipped. Name and password are percent-decoded ("%EB", "%09"), so the file stays ASCII
// while names hold any byte. Throws std::runtime_error naming the line at fault.
std::vector<TAccount> ParseUsers(std::string_view text);

struct TResult {
  int Status = 200;
  std::string ContentType;
  std::string Body;
  // For the request log:
  std::string Function;  // "-" when there is none
  std::string Params;    // "name=value ...", decoded and made printable; "-" when there are none
  std::string Outcome;
};

class TService {
 public:
  using TIdSource = std::function<std::string()>;
  TService(std::vector<TAccount> accounts, TIdSource newSessionId);

  TResult Handle(std::string_view method, std::string_view target);
  static TResult BadRequest(std::string_view why);

  bool IsOpen(const std::string& session) const;

 private:
  TResult SignIn(const std::string& key, TResult result);
  TResult Close(const std::string& session, TResult result);

  std::map<std::string, TAccount> accounts_;
  TIdSource newSessionId_;
  mutable std::mutex mutex_;
  std::set<std::string> sessions_;
};

// 32 lower-case hex digits from the system's random source.
std::string RandomSessionId();

// Status line, headers and body, for a connection that closes after it.
std::string HttpResponse(const TResult& result);

// Bytes outside printable ASCII, the space and "\" become \xHH, so that a log line stays one line of fields.
std::string LogEscape(std::string_view bytes);
// 2024-05-01T10:00:00.123Z
std::string IsoTime(std::chrono::system_clock::time_point when);
// Time, function, parameters and outcome, separated by tabs, without the line feed.
std::string LogLine(std::chrono::system_clock::time_point when, const TResult& result);

}  // namespace refservice
