#include <gtest/gtest.h>

#include "protocol.h"

namespace refservice {
namespace {

TEST(PercentDecode, Examples) {
  const struct {
    std::string in;
    bool plusIsSpace;
    std::string out;
  } cases[] = {
      {"", true, ""},
      {"a%2Bb", true, "a+b"},
      {"%E9", true, "\xE9"},
      {"%e9", true, "\xE9"},
      {"a+b", true, "a b"},
      {"a+b", false, "a+b"},
      {"%20%26%3D%7C", true, " &=|"},
      {"%00", false, std::string(1, '\0')},
      // Not an escape: kept as it stands.
      {"%", true, "%"},
      {"50%", true, "50%"},
      {"%4", true, "%4"},
      {"%G1", true, "%G1"},
      {"%%41", true, "%A"},
  };
  for (const auto& c : cases) EXPECT_EQ(PercentDecode(c.in, c.plusIsSpace), c.out) << c.in;
}

TEST(DecodeBase64, DecodesCanonicalText) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"YQ==", "a"},
      {"YWI=", "ab"},
      {"YWJj", "abc"},
      {"YWJjZA==", "abcd"},
      {"+/+/", "\xFB\xFF\xBF"},
      {"AP8A", std::string("\0\xFF\0", 3)},
      {"YWxpY2V8d29uZGVybGFuZA==", "alice|wonderland"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeBase64(c.in), c.out) << c.in;
}

TEST(DecodeBase64, RejectsMalformedText) {
  for (const std::string in : {
           "Y",         // not a whole group
           "YQ",        // padding left out
           "YQ=",       //
           "YQ== ",     // trailing blank
           "YQ==\n",    // line break
           "Y===",      // three padding characters
           "====",      //
           "YQ==YWJj",  // padding inside
           "Y=Q=",      //
           "YQ-_",      // URL-safe alphabet
           "YR==",      // unused bits not zero
           "YWJ=",      //
           "YW I",      // blank inside
       })
    EXPECT_EQ(DecodeBase64(in), std::nullopt) << in;
}

TEST(SplitSignInKey, SplitsAtTheFirstBar) {
  const struct {
    std::string in;
    std::optional<std::pair<std::string, std::string>> out;
  } cases[] = {
      {"alice|wonderland", {{"alice", "wonderland"}}},
      {"a|b|c", {{"a", "b|c"}}},
      {"|pw", {{"", "pw"}}},
      {"alice|", {{"alice", ""}}},
      {"|", {{"", ""}}},
      {"alice", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto key = SplitSignInKey(c.in);
    ASSERT_EQ(key.has_value(), c.out.has_value()) << c.in;
    if (key) {
      EXPECT_EQ(std::make_pair(key->user, key->password), *c.out) << c.in;
    }
  }
}

TEST(ParseTarget, TakesOriginAndAbsoluteForm) {
  const struct {
    std::string in;
    std::optional<std::pair<std::string, std::string>> out;
  } cases[] = {
      {"/service/select.php?func=1&key=x", {{"/service/select.php", "func=1&key=x"}}},
      {"http://accounts.quillon.example/service/select.php?func=1&key=x",
       {{"/service/select.php", "func=1&key=x"}}},
      {"HTTP://127.0.0.1:8080/select.php?func=2", {{"/select.php", "func=2"}}},
      {"/select.php", {{"/select.php", ""}}},
      {"/select.php?", {{"/select.php", ""}}},
      {"/select.php?a=1#part", {{"/select.php", "a=1"}}},
      {"/a?b?c", {{"/a", "b?c"}}},
      {"http://host", {{"", ""}}},
      {"http://host?func=1", {{"", "func=1"}}},
      {"http:///select.php", std::nullopt},
      {"https://host/select.php", std::nullopt},
      {"select.php?func=1", std::nullopt},
      {"*", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto target = ParseTarget(c.in);
    ASSERT_EQ(target.has_value(), c.out.has_value()) << c.in;
    if (target) {
      EXPECT_EQ(std::make_pair(target->path, target->query), *c.out) << c.in;
    }
  }
}

TEST(IsServiceScript, WantsAPathEndingInTheScriptName) {
  EXPECT_TRUE(IsServiceScript("/service/select.php"));
  EXPECT_TRUE(IsServiceScript("/select.php"));
  for (const std::string path : {"", "select.php", "/service/select.php/", "/service/select.phpx",
                                 "/service/xselect.php", "/service/SELECT.PHP", "/service/"})
    EXPECT_FALSE(IsServiceScript(path)) << path;
}

TEST(ParseQuery, DecodesPairsInOrder) {
  const Query query = ParseQuery("func=1&key=a%2Bb%3D&&flag&empty=&key=second&sp+ace=a+b");
  const Query expected = {{"func", "1"}, {"key", "a+b="},   {"flag", ""},
                          {"empty", ""}, {"key", "second"}, {"sp ace", "a b"}};
  EXPECT_EQ(query, expected);
  EXPECT_EQ(Find(query, "key"), "a+b=");
  EXPECT_EQ(Find(query, "flag"), "");
  EXPECT_EQ(Find(query, "session"), std::nullopt);
  EXPECT_TRUE(ParseQuery("").empty());
}

TEST(Answers, HaveTheExactForm) {
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";
  EXPECT_EQ(SessionAnswer("0a1b", 5),
            declaration + "<Brovik><license><session id=\"0a1b\" accessLevel=\"5\"/></license></Brovik>");
  EXPECT_EQ(SessionAnswer("x", -2),
            declaration + "<Brovik><license><session id=\"x\" accessLevel=\"-2\"/></license></Brovik>");
  EXPECT_EQ(ClosedAnswer("0a1b"), declaration + "<Brovik><license><session id=\"0a1b\"/></license></Brovik>");
  EXPECT_EQ(ErrorAnswer(1, "Unknown user"),
            declaration + "<Brovik><license><error code=\"1\">Unknown user</error></license></Brovik>");
}

TEST(Answers, EscapeWhatXmlReserves) {
  EXPECT_EQ(XmlEscape("a&b<c>d\"e'f\xEB"), "a&amp;b&lt;c&gt;d&quot;e&apos;f\xEB");
  EXPECT_NE(ClosedAnswer("\"/><x a=\"").find("id=\"&quot;/&gt;&lt;x a=&quot;\"/>"), std::string::npos);
  EXPECT_NE(ErrorAnswer(7, "<&>").find(">&lt;&amp;&gt;</error>"), std::string::npos);
}

}  // namespace
}  // namespace refservice
