#include <gtest/gtest.h>

#include <stdexcept>

#include "protocol.h"
#include "service.h"

namespace refservice {
namespace {

TEST(PercentDecode, KeepsWhatIsNoEscape) {
  const struct {
    std::string In;
    bool PlusIsSpace;
    std::string Out;
  } cases[] = {
      {"a%2Bb%e9", true, "a+b\xE9"}, {"a+b", true, "a b"},
      {"a+b", false, "a+b"},         {"%00", false, std::string(1, '\0')},
      {"50%", true, "50%"},          {"%G1%4", true, "%G1%4"},
      {"%%41", true, "%A"},
  };
  for (const auto& c : cases) EXPECT_EQ(PercentDecode(c.In, c.PlusIsSpace), c.Out) << c.In;
}

TEST(DecodeBase64, TakesOnlyCanonicalText) {
  const struct {
    std::string In;
    std::optional<std::string> Out;
  } cases[] = {
      {"", ""},     {"YQ==", "a"}, {"YWI=", "ab"}, {"+/+/", "\xFB\xFF\xBF"},
      {"YQ", {}},   {"YQ== ", {}}, {"Y===", {}},   {"YQ==YWJj", {}},
      {"YQ-_", {}}, {"YR==", {}},  // unused bits not zero
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeBase64(c.In), c.Out) << c.In;
}

TEST(SplitSignInKey, SplitsAtTheFirstBar) {
  const auto key = SplitSignInKey("a|b|c");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->User + "," + key->Password, "a,b|c");
  EXPECT_TRUE(SplitSignInKey("|"));
  EXPECT_FALSE(SplitSignInKey("alice"));
}

TEST(ParseTarget, TakesOriginAndAbsoluteForm) {
  const struct {
    std::string In;
    std::optional<std::pair<std::string, std::string>> Out;
  } cases[] = {
      {"/service/select.php?func=1&key=x", {{"/service/select.php", "func=1&key=x"}}},
      {"HTTP://127.0.0.1:8080/select.php?func=2#part", {{"/select.php", "func=2"}}},
      {"http://host?func=1", {{"", "func=1"}}},
      {"http:///select.php", std::nullopt},
      {"https://host/select.php", std::nullopt},
      {"select.php?func=1", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto target = ParseTarget(c.In);
    ASSERT_EQ(target.has_value(), c.Out.has_value()) << c.In;
    if (target) {
      EXPECT_EQ(std::make_pair(target->Path, target->Query), *c.Out) << c.In;
    }
  }
  EXPECT_TRUE(IsServiceScript("/select.php"));
  for (const std::string path : {"/service/select.php/", "/service/xselect.php", "/service/SELECT.PHP"})
    EXPECT_FALSE(IsServiceScript(path)) << path;
}

TEST(ParseQuery, DecodesPairsInOrder) {
  const TQuery query = ParseQuery("func=1&key=a%2Bb%3D&&flag&key=second&sp+ace=a+b");
  const TQuery expected = {
      {"func", "1"}, {"key", "a+b="}, {"flag", ""}, {"key", "second"}, {"sp ace", "a b"}};
  EXPECT_EQ(query, expected);
  EXPECT_EQ(Find(query, "key"), "a+b=");
  EXPECT_EQ(Find(query, "session"), std::nullopt);
}

TEST(Answers, HaveTheExactFormAndEscapeWhatXmlReserves) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<Brovik><license>";
  EXPECT_EQ(SessionAnswer("0a1b", -2), head + "<session id=\"0a1b\" accessLevel=\"-2\"/></license></Brovik>");
  EXPECT_EQ(ClosedAnswer("\"/>"), head + "<session id=\"&quot;/&gt;\"/></license></Brovik>");
  EXPECT_EQ(ErrorAnswer(1, "<&'\xEB"),
            head + "<error code=\"1\">&lt;&amp;&apos;\xEB</error></license></Brovik>");
}

constexpr std::string_view Users = "# comment\r\nalice\twonderland\t2\r\n\n   \nZo%EB Smith&Co\tx>y|z\t3\n";
const std::string AliceKey = "YWxpY2V8d29uZGVybGFuZA%3D%3D";  // alice|wonderland
const std::string ZoeKey = "Wm/rIFNtaXRoJkNvfHg%2BeXx6";      // Zo\xEB Smith&Co|x>y|z

TService MakeService() {
  auto counter = std::make_shared<int>(0);
  return TService(ParseUsers(Users), [counter] { return "id" + std::to_string(++*counter); });
}

TEST(ParseUsers, NamesTheFaultyLine) {
  const struct {
    std::string Text, Message;
  } cases[] = {
      {"# c\nalice\tpw\n", "line 2: expected name"},
      {"alice\tpw\t2x\n", "line 1: access level"},
      {"alice\tpw\t2147483648\n", "line 1: access level"},
      {"\tpw\t2\n", "line 1: empty user name"},
      {"a|b\tpw\t2\n", "line 1: a user name cannot"},
      {"alice\tpw\t2\n\nalice\tother\t3\n", "line 3: user listed twice"},
  };
  for (const auto& c : cases) {
    try {
      ParseUsers(c.Text);
      ADD_FAILURE() << "accepted " << c.Text;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.Message, 0), 0u) << e.what();
    }
  }
}

TEST(TService, AnswersEachOutcome) {
  const struct {
    std::string Method, Target, Outcome;
    int Status = 200;
  } cases[] = {
      {"GET", "/service/select.php?func=1&key=" + AliceKey, "session id1 level 2"},
      {"GET", "http://h/select.php?func=1&key=" + ZoeKey, "session id2 level 3"},
      {"GET", "/select.php?func=1&key=bWFsbG9yeXx4", "error 1 Unknown user"},
      // The name in UTF-8 is another name.
      {"GET", "/select.php?func=1&key=Wm/DqyBTbWl0aCZDb3x4Pnl8eg%3D%3D", "error 1 Unknown user"},
      {"GET", "/select.php?func=1&key=YWxpY2V8V29uZGVybGFuZA%3D%3D", "error 2 Wrong password"},
      {"GET", "/select.php?func=1&key=YWxpY2U%3D", "error 3 Malformed sign-in key"},
      // An unescaped "+" of the key arrives as a space.
      {"GET", "/select.php?func=1&key=Wm/rIFNtaXRoJkNvfHg+eXx6", "error 3 Malformed sign-in key"},
      {"GET", "/select.php?func=1&session=id1", "error 8 Missing parameter"},
      {"GET", "/select.php?func=01&key=" + AliceKey, "error 9 Unknown function"},
      {"GET", "/select.php?func=2&session=id1", "closed id1"},
      {"GET", "/select.php?func=2&session=id1", "error 4 Unknown session"},
      {"GET", "/select.php?func=2&session=ID2", "error 4 Unknown session"},
      {"GET", "/select.php?func=2", "error 8 Missing parameter"},
      {"GET", "/select.php/x?func=1", "404 not found /select.php/x", 404},
      {"POST", "/select.php?func=2&session=x", "405 method POST", 405},
      {"GET", "select.php?func=1", "400 unusable target select.php?func=1", 400},
  };
  TService service = MakeService();
  for (const auto& c : cases) {
    const TResult result = service.Handle(c.Method, c.Target);
    EXPECT_EQ(result.Status, c.Status) << c.Target;
    EXPECT_EQ(result.Outcome, c.Outcome) << c.Target;
    EXPECT_EQ(result.ContentType,
              c.Status == 200 ? "text/xml; charset=windows-1252" : "text/plain; charset=us-ascii");
  }
  EXPECT_TRUE(service.IsOpen("id2"));
  EXPECT_FALSE(service.IsOpen("id1"));
  EXPECT_EQ(service.Handle("GET", "/select.php?func=1&key=").Body, ErrorAnswer(3, "Malformed sign-in key"));
}

TEST(TService, LogsDecodedParametersButNoPassword) {
  TService service = MakeService();
  const auto when = std::chrono::system_clock::time_point(std::chrono::milliseconds(1714557600123));
  EXPECT_EQ(LogLine(when, service.Handle("GET", "/select.php?func=1&key=" + ZoeKey)),
            "2024-05-01T10:00:00.123Z\t1\tkey=Wm/rIFNtaXRoJkNvfHg+eXx6 user=Zo\\xeb\\x20Smith&Co\tsession "
            "id1 level 3");
  EXPECT_EQ(LogLine(when, service.Handle("GET", "/select.php?session=a%09b&func=2")),
            "2024-05-01T10:00:00.123Z\t2\tsession=a\\x09b\terror 4 Unknown session");
  EXPECT_EQ(LogLine(when, TService::BadRequest("malformed request line")),
            "2024-05-01T10:00:00.123Z\t-\t-\t400 malformed request line");
}

}  // namespace
}  // namespace refservice
