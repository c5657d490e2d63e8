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

struct Account {
  std::string Name;  // ANSI bytes
  std::string Password;
  std::int32_t AccessLevel = 0;
};

// One account per line: name, password and access level, separated by tabs. Lines that start with "#" and
// blank lines are skipped. Name and password are percent-decoded ("%EB", "%09"), so the file stays ASCII
// while names hold any byte. Throws std::runtime_error naming the line at fault.
std::vector<Account> ParseUsers(std::string_view text);

struct Result {
  int Status = 200;
  std::string ContentType;
  std::string Body;
  // For the request log:
  std::string Function;  // "-" when there is none
  std::string Params;    // "name=value ...", decoded and made printable; "-" when there are none
  std::string Outcome;
};

class Service {
 public:
  using IdSource = std::function<std::string()>;
  Service(std::vector<Account> accounts, IdSource newSessionId);

  Result Handle(std::string_view method, std::string_view target);
  static Result BadRequest(std::string_view why);

  bool IsOpen(const std::string& session) const;

 private:
  Result SignIn(const std::string& key, Result result);
  Result Close(const std::string& session, Result result);

  std::map<std::string, Account> accounts_;
  IdSource newSessionId_;
  mutable std::mutex mutex_;
  std::set<std::string> sessions_;
};

// 32 lower-case hex digits from the system's random source.
std::string RandomSessionId();

// Status line, headers and body, for a connection that closes after it.
std::string HttpResponse(const Result& result);

// Bytes outside printable ASCII, the space and "\" become \xHH, so that a log line stays one line of fields.
std::string LogEscape(std::string_view bytes);
// 2024-05-01T10:00:00.123Z
std::string IsoTime(std::chrono::system_clock::time_point when);
// Time, function, parameters and outcome, separated by tabs, without the line feed.
std::string LogLine(std::chrono::system_clock::time_point when, const Result& result);

}  // namespace refservice
