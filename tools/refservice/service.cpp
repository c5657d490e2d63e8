#include "service.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <random>
#include <stdexcept>

#include "protocol.h"

namespace refservice {
namespace {

constexpr char Hex[] = "0123456789abcdef";

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  while (true) {
    const auto tab = line.find('\t');
    fields.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return fields;
    line.remove_prefix(tab + 1);
  }
}

bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

TResult Xml(std::string body, std::string outcome, TResult result) {
  result.ContentType = std::string(AnswerContentType);
  result.Body = std::move(body);
  result.Outcome = std::move(outcome);
  return result;
}

TResult Failure(int code, std::string_view message, TResult result) {
  return Xml(ErrorAnswer(code, message), "error " + std::to_string(code) + " " + std::string(message),
             std::move(result));
}

TResult Plain(int status, std::string_view body, std::string outcome, TResult result) {
  result.Status = status;
  result.ContentType = "text/plain; charset=us-ascii";
  result.Body = std::string(body);
  result.Outcome = std::move(outcome);
  return result;
}

void AddParam(std::string& params, std::string_view name, std::string_view value) {
  if (params == "-") params.clear();
  if (!params.empty()) params += ' ';
  params += LogEscape(name);
  params += '=';
  params += LogEscape(value);
}

}  // namespace

std::vector<TAccount> ParseUsers(std::string_view text) {
  std::vector<TAccount> accounts;
  int number = 0;
  while (!text.empty()) {
    const auto eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (IsBlank(line) || line.front() == '#') continue;

    const auto fail = [number](const std::string& why) {
      throw std::runtime_error("line " + std::to_string(number) + ": " + why);
    };
    const auto fields = SplitTabs(line);
    if (fields.size() != 3) fail("expected name, password and access level separated by tabs");
    TAccount account{PercentDecode(fields[0], false), PercentDecode(fields[1], false), 0};
    if (account.Name.empty()) fail("empty user name");
    if (account.Name.find('|') != std::string::npos) fail("a user name cannot hold \"|\"");
    const auto level = fields[2];
    const auto [end, error] = std::from_chars(level.data(), level.data() + level.size(), account.AccessLevel);
    if (error != std::errc{} || end != level.data() + level.size() || level.empty())
      fail("access level is not a 32-bit integer");
    for (const auto& other : accounts)
      if (other.Name == account.Name) fail("user listed twice");
    accounts.push_back(std::move(account));
  }
  return accounts;
}

TService::TService(std::vector<TAccount> accounts, TIdSource newSessionId)
    : newSessionId_(std::move(newSessionId)) {
  for (auto& account : accounts) {
    auto name = account.Name;
    accounts_.emplace(std::move(name), std::move(account));
  }
}

TResult TService::BadRequest(std::string_view why) {
  TResult result;
  result.Function = "-";
  result.Params = "-";
  return Plain(400, "Bad request\n", "400 " + std::string(why), std::move(result));
}

TResult TService::Handle(std::string_view method, std::string_view target) {
  TResult result;
  result.Function = "-";
  result.Params = "-";
  const auto parsed = ParseTarget(target);
  if (!parsed)
    return Plain(400, "Bad request\n", "400 unusable target " + LogEscape(target), std::move(result));
  if (!IsServiceScript(parsed->Path))
    return Plain(404, "Not found\n",
                 "404 not found" + (parsed->Path.empty() ? "" : " " + LogEscape(parsed->Path)),
                 std::move(result));
  if (method != "GET")
    return Plain(405, "Method not allowed\n", "405 method " + LogEscape(method), std::move(result));

  const TQuery query = ParseQuery(parsed->Query);
  for (const auto& [name, value] : query)
    if (name != "func") AddParam(result.Params, name, value);
  const auto function = Find(query, "func");
  if (!function) return Failure(8, "Missing parameter", std::move(result));
  result.Function = LogEscape(*function);

  if (*function == "1") {
    const auto key = Find(query, "key");
    if (!key) return Failure(8, "Missing parameter", std::move(result));
    return SignIn(*key, std::move(result));
  }
  if (*function == "2") {
    const auto session = Find(query, "session");
    if (!session) return Failure(8, "Missing parameter", std::move(result));
    return Close(*session, std::move(result));
  }
  return Failure(9, "Unknown function", std::move(result));
}

TResult TService::SignIn(const std::string& key, TResult result) {
  const auto decoded = DecodeBase64(key);
  const auto parts = decoded ? SplitSignInKey(*decoded) : std::nullopt;
  if (!parts) return Failure(3, "Malformed sign-in key", std::move(result));
  // The password stays out of the log.
  AddParam(result.Params, "user", parts->User);
  const auto account = accounts_.find(parts->User);
  if (account == accounts_.end()) return Failure(1, "Unknown user", std::move(result));
  if (account->second.Password != parts->Password) return Failure(2, "Wrong password", std::move(result));

  std::string id = newSessionId_();
  {
    std::lock_guard lock(mutex_);
    sessions_.insert(id);
  }
  const auto level = account->second.AccessLevel;
  return Xml(SessionAnswer(id, level), "session " + LogEscape(id) + " level " + std::to_string(level),
             std::move(result));
}

TResult TService::Close(const std::string& session, TResult result) {
  bool known;
  {
    std::lock_guard lock(mutex_);
    known = sessions_.erase(session) == 1;
  }
  if (!known) return Failure(4, "Unknown session", std::move(result));
  return Xml(ClosedAnswer(session), "closed " + LogEscape(session), std::move(result));
}

bool TService::IsOpen(const std::string& session) const {
  std::lock_guard lock(mutex_);
  return sessions_.count(session) == 1;
}

std::string RandomSessionId() {
  static std::mutex mutex;
  static std::random_device device;
  std::lock_guard lock(mutex);
  std::string id;
  for (int i = 0; i < 4; ++i) {
    const std::uint32_t word = device();
    for (int shift = 28; shift >= 0; shift -= 4) id += Hex[(word >> shift) & 15];
  }
  return id;
}

std::string HttpResponse(const TResult& result) {
  static const std::map<int, std::string_view> Reasons = {
      {200, "OK"}, {400, "Bad Request"}, {404, "Not Found"}, {405, "Method Not Allowed"}};
  const auto reason = Reasons.find(result.Status);
  std::string out = "HTTP/1.1 " + std::to_string(result.Status) + " " +
                    std::string(reason == Reasons.end() ? "Error" : reason->second) + "\r\n";
  out += "Content-Type: " + result.ContentType + "\r\n";
  out += "Content-Length: " + std::to_string(result.Body.size()) + "\r\n";
  if (result.Status == 405) out += "Allow: GET\r\n";
  out += "Cache-Control: no-store\r\nConnection: close\r\n\r\n";
  out += result.Body;
  return out;
}

std::string LogEscape(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b > 0x20 && b < 0x7F && c != '\\') {
      out += c;
    } else {
      out += "\\x";
      out += Hex[b >> 4];
      out += Hex[b & 15];
    }
  }
  return out;
}

std::string IsoTime(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto millis = duration_cast<milliseconds>(when.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  const auto n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ", static_cast<int>(millis % 1000));
  return std::string(text, n) + fraction;
}

std::string LogLine(std::chrono::system_clock::time_point when, const TResult& result) {
  return IsoTime(when) + '\t' + result.Function + '\t' + result.Params + '\t' + result.Outcome;
}

}  // namespace refservice
