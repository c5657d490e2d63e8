#include <gtest/gtest.h>

#include <stdexcept>

#include "protocol.h"
#include "service.h"

namespace refservice {
namespace {

constexpr std::string_view Users =
    "# comment\r\n"
    "alice\twonderland\t2\r\n"
    "\n"
    "   \n"
    "Zo%EB Smith&Co\tx>y|z\t3\n"
    "neg\t50%25\t-7";

constexpr std::string_view Script = "/service/select.php?";
constexpr std::string_view AliceKey = "YWxpY2V8d29uZGVybGFuZA%3D%3D";  // alice|wonderland
constexpr std::string_view ZoeKey = "Wm/rIFNtaXRoJkNvfHg%2BeXx6";      // Zo\xEB Smith&Co|x>y|z

Service MakeService() {
  auto counter = std::make_shared<int>(0);
  return Service(ParseUsers(Users), [counter] { return "id" + std::to_string(++*counter); });
}

std::string Get(Service& service, std::string_view query) {
  return service.Handle("GET", std::string(Script) + std::string(query)).body;
}

TEST(ParseUsers, ReadsNamesPasswordsAndLevels) {
  const auto accounts = ParseUsers(Users);
  ASSERT_EQ(accounts.size(), 3u);
  EXPECT_EQ(accounts[0].name, "alice");
  EXPECT_EQ(accounts[0].password, "wonderland");
  EXPECT_EQ(accounts[0].accessLevel, 2);
  EXPECT_EQ(accounts[1].name, "Zo\xEB Smith&Co");
  EXPECT_EQ(accounts[1].password, "x>y|z");
  EXPECT_EQ(accounts[2].password, "50%");
  EXPECT_EQ(accounts[2].accessLevel, -7);
  EXPECT_TRUE(ParseUsers("").empty());
}

TEST(ParseUsers, NamesTheFaultyLine) {
  const struct {
    std::string text, message;
  } cases[] = {
      {"# c\nalice\tpw\n", "line 2: expected name"},
      {"alice\tpw\t2\textra\n", "line 1: expected name"},
      {"alice pw 2\n", "line 1: expected name"},
      {"alice\tpw\tx\n", "line 1: access level"},
      {"alice\tpw\t2x\n", "line 1: access level"},
      {"alice\tpw\t\n", "line 1: access level"},
      {"alice\tpw\t2147483648\n", "line 1: access level"},
      {"\tpw\t2\n", "line 1: empty user name"},
      {"a|b\tpw\t2\n", "line 1: a user name cannot"},
      {"alice\tpw\t2\n\nalice\tother\t3\n", "line 3: user listed twice"},
  };
  for (const auto& c : cases) {
    try {
      ParseUsers(c.text);
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
}

TEST(Service, AnswersEachOutcomeOfASignIn) {
  const struct {
    std::string query, answer, outcome;
  } cases[] = {
      {"func=1&key=" + std::string(AliceKey), SessionAnswer("id1", 2), "session id1 level 2"},
      {"func=1&key=" + std::string(ZoeKey), SessionAnswer("id2", 3), "session id2 level 3"},
      {"func=1&key=bWFsbG9yeXx4", ErrorAnswer(1, "Unknown user"), "error 1 Unknown user"},
      // The name in UTF-8 is another name.
      {"func=1&key=Wm/DqyBTbWl0aCZDb3x4Pnl8eg%3D%3D", ErrorAnswer(1, "Unknown user"), "error 1 Unknown user"},
      {"func=1&key=YWxpY2V8V29uZGVybGFuZA%3D%3D", ErrorAnswer(2, "Wrong password"), "error 2 Wrong password"},
      {"func=1&key=YWxpY2U%3D", ErrorAnswer(3, "Malformed sign-in key"), "error 3 Malformed sign-in key"},
      {"func=1&key=not%20base64", ErrorAnswer(3, "Malformed sign-in key"), "error 3 Malformed sign-in key"},
      {"func=1&key=", ErrorAnswer(3, "Malformed sign-in key"), "error 3 Malformed sign-in key"},
      // An unescaped "+" of the key arrives as a space.
      {"func=1&key=Wm/rIFNtaXRoJkNvfHg+eXx6", ErrorAnswer(3, "Malformed sign-in key"),
       "error 3 Malformed sign-in key"},
      {"func=1", ErrorAnswer(8, "Missing parameter"), "error 8 Missing parameter"},
      {"func=1&session=id1", ErrorAnswer(8, "Missing parameter"), "error 8 Missing parameter"},
      {"key=" + std::string(AliceKey), ErrorAnswer(8, "Missing parameter"), "error 8 Missing parameter"},
      {"func=3&key=" + std::string(AliceKey), ErrorAnswer(9, "Unknown function"), "error 9 Unknown function"},
      {"func=01&key=" + std::string(AliceKey), ErrorAnswer(9, "Unknown function"),
       "error 9 Unknown function"},
      {"func=&key=" + std::string(AliceKey), ErrorAnswer(9, "Unknown function"), "error 9 Unknown function"},
  };
  Service service = MakeService();
  for (const auto& c : cases) {
    const Result result = service.Handle("GET", std::string(Script) + c.query);
    EXPECT_EQ(result.status, 200) << c.query;
    EXPECT_EQ(result.contentType, "text/xml; charset=windows-1252") << c.query;
    EXPECT_EQ(result.body, c.answer) << c.query;
    EXPECT_EQ(result.outcome, c.outcome) << c.query;
  }
}

TEST(Service, ClosesAnOpenSessionOnce) {
  Service service = MakeService();
  EXPECT_EQ(Get(service, "func=1&key=" + std::string(AliceKey)), SessionAnswer("id1", 2));
  EXPECT_EQ(Get(service, "func=1&key=" + std::string(AliceKey)), SessionAnswer("id2", 2));
  EXPECT_TRUE(service.IsOpen("id1"));
  EXPECT_EQ(Get(service, "func=2&session=id1"), ClosedAnswer("id1"));
  EXPECT_FALSE(service.IsOpen("id1"));
  EXPECT_TRUE(service.IsOpen("id2"));
  EXPECT_EQ(Get(service, "func=2&session=id1"), ErrorAnswer(4, "Unknown session"));
  EXPECT_EQ(Get(service, "func=2&session=ID2"), ErrorAnswer(4, "Unknown session"));
  EXPECT_EQ(Get(service, "func=2&session="), ErrorAnswer(4, "Unknown session"));
  EXPECT_EQ(Get(service, "func=2"), ErrorAnswer(8, "Missing parameter"));
  EXPECT_EQ(Get(service, "func=2&session=id2"), ClosedAnswer("id2"));
}

TEST(Service, TakesOnlyGetOfTheScript) {
  const struct {
    std::string method, target;
    int status;
    std::string outcome;
  } cases[] = {
      {"GET", "http://accounts.quillon.example/service/select.php?func=1&key=" + std::string(AliceKey), 200,
       "session id1 level 2"},
      {"GET", "/select.php?func=2&session=id1", 200, "closed id1"},
      {"GET", "/", 404, "404 not found /"},
      {"GET", "http://accounts.quillon.example/favicon.ico", 404, "404 not found /favicon.ico"},
      {"GET", "http://accounts.quillon.example?func=1", 404, "404 not found"},
      {"GET", "/service/select.php/x?func=1", 404, "404 not found /service/select.php/x"},
      {"POST", "/service/select.php?func=2&session=x", 405, "405 method POST"},
      {"GET", "select.php?func=1", 400, "400 unusable target select.php?func=1"},
  };
  Service service = MakeService();
  for (const auto& c : cases) {
    const Result result = service.Handle(c.method, c.target);
    EXPECT_EQ(result.status, c.status) << c.target;
    EXPECT_EQ(result.outcome, c.outcome) << c.target;
    if (c.status != 200) {
      EXPECT_EQ(result.contentType, "text/plain; charset=us-ascii") << c.target;
    }
  }
}

TEST(Service, LogsDecodedParametersButNoPassword) {
  Service service = MakeService();
  const auto when = std::chrono::system_clock::time_point(std::chrono::milliseconds(1714557600123));
  EXPECT_EQ(LogLine(when, service.Handle("GET", std::string(Script) + "func=1&key=" + std::string(ZoeKey))),
            "2024-05-01T10:00:00.123Z\t1\tkey=Wm/rIFNtaXRoJkNvfHg+eXx6 user=Zo\\xeb\\x20Smith&Co\tsession "
            "id1 level 3");
  EXPECT_EQ(LogLine(when, service.Handle("GET", std::string(Script) + "session=a%09b&func=2")),
            "2024-05-01T10:00:00.123Z\t2\tsession=a\\x09b\terror 4 Unknown session");
  EXPECT_EQ(LogLine(when, service.Handle("GET", "/nothing")),
            "2024-05-01T10:00:00.123Z\t-\t-\t404 not found /nothing");
  EXPECT_EQ(LogLine(when, Service::BadRequest("malformed request line")),
            "2024-05-01T10:00:00.123Z\t-\t-\t400 malformed request line");
}

TEST(RandomSessionId, IsFreshHex) {
  const std::string a = RandomSessionId(), b = RandomSessionId();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace refservice
