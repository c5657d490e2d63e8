// One suite for both trees, so that libxml2 and MSXML are held to the same answers.

#include <gtest/gtest.h>

#include <string>

#include "session/protocol.h"

void PrintTo(TAnswerKind kind, std::ostream* out) {
  *out << (kind == TAnswerKind::Failed ? "Failed" : kind == TAnswerKind::Accepted ? "Accepted" : "NoSession");
}

namespace {

const std::string ParseFailure = "Unable to log in: Error parsing response (error code -1)";

std::string Licensed(const std::string& items) { return "<Brovik><license>" + items + "</license></Brovik>"; }

struct TCase {
  const char* What;
  std::string Answer;
  TAnswerKind Kind;
  std::string Message;
  std::string SessionId;
  std::int32_t AccessLevel;
  TSessionState Before = {"ann", "", -2};
};

void Check(const TCase& c) {
  SCOPED_TRACE(c.What);
  TSessionState state = c.Before;
  const TAnswerOutcome outcome = InterpretAnswer(c.Answer, state);
  EXPECT_EQ(outcome.Kind, c.Kind);
  EXPECT_EQ(outcome.Message, c.Message);
  EXPECT_EQ(state.SessionId, c.SessionId);
  EXPECT_EQ(state.AccessLevel, c.AccessLevel);
  EXPECT_EQ(state.UserName, c.Before.UserName);
}

// Earlier states of the record that some rows start from.
const TSessionState Level6{"ann", "", 6}, Old6{"ann", "old", 6}, OldUnset{"ann", "old", -2},
    S1Level4{"ann", "s1", 4}, S0Level3{"ann", "s0", 3};

const auto Failed = TAnswerKind::Failed;
const auto Accepted = TAnswerKind::Accepted;
const auto NoSession = TAnswerKind::NoSession;

TEST(InterpretAnswer, SessionsAndErrors) {
  const TCase cases[] = {
      {"session", Licensed(R"(<session id="s1" accessLevel="6"/>)"), Accepted, "", "s1", 6},
      {"error wins over a session",
       Licensed(R"(<error code="3">Locked</error><session id="s1" accessLevel="7"/>)"), Failed,
       "Unable to log in: Locked (error code 3)", "s1", 7},
      {"session before the error", Licensed(R"(<session id="s1"/><error code="3">Locked</error>)"), Failed,
       "Unable to log in: Locked (error code 3)", "s1", -2},
      {"empty error", Licensed(R"(<error code="5"/>)"), Failed, "Unable to log in:  (error code 5)", "", -2},
      {"negative code", Licensed(R"(<error code="-5">No</error>)"), Failed,
       "Unable to log in: No (error code -5)", "", -2},
      {"hex code", Licensed(R"(<error code="0x10">No</error>)"), Failed,
       "Unable to log in: No (error code 16)", "", -2},
      {"unreadable code is 0", Licensed(R"(<error code="bad">No</error>)"), NoSession, "Invalid session", "",
       -2},
      {"error without code", Licensed(R"(<error>No</error><session id="s1"/>)"), Accepted, "", "s1", -2},
      {"code 0 is not reported", Licensed(R"(<error code="0">Fine</error><session id="s1"/>)"), Accepted, "",
       "s1", -2},
      {"blank message kept", Licensed(R"(<error code="2">  </error>)"), Failed,
       "Unable to log in:    (error code 2)", "", -2},
      {"references in the message", Licensed(R"(<error code="2">a &amp; b &lt;&#233;&#x41;</error>)"), Failed,
       "Unable to log in: a & b <\xE9"
       "A (error code 2)",
       "", -2},
      {"line breaks in the message", Licensed("<error code=\"2\">one\r\ntwo</error>"), Failed,
       "Unable to log in: one\ntwo (error code 2)", "", -2},
      {"no accessLevel keeps the level", Licensed(R"(<session id="s1"/>)"), Accepted, "", "s1", 6, Level6},
      {"no id keeps the session", Licensed(R"(<session accessLevel="4"/>)"), Accepted, "", "old", 4, Old6},
      {"empty id ends the session", Licensed(R"(<session id=""/>)"), NoSession, "Invalid session", "", -2,
       OldUnset},
      {"accessLevel abc", Licensed(R"(<session id="s1" accessLevel="abc"/>)"), Accepted, "", "s1", 0},
      {"accessLevel blank 7", Licensed(R"(<session id="s1" accessLevel=" 7"/>)"), Accepted, "", "s1", 7},
      {"accessLevel $7", Licensed(R"(<session id="s1" accessLevel="$7"/>)"), Accepted, "", "s1", 7},
      {"accessLevel tab 7", Licensed("<session id=\"s1\" accessLevel=\"&#9;7\"/>"), Accepted, "", "s1", 0},
      {"attribute value entities", Licensed(R"(<session id="a&amp;b&quot;c" accessLevel="&#55;"/>)"),
       Accepted, "", "a&b\"c", 7},
  };
  for (const auto& c : cases) Check(c);
}

TEST(InterpretAnswer, NamesAndPlaces) {
  const TCase cases[] = {
      {"brovik", R"(<brovik><license><session id="s1"/></license></brovik>)", NoSession, "Invalid session",
       "", -2},
      {"License", R"(<Brovik><License><session id="s1"/></License></Brovik>)", NoSession, "Invalid session",
       "", -2},
      {"Session", Licensed(R"(<Session id="s1"/>)"), NoSession, "Invalid session", "", -2},
      {"ID", Licensed(R"(<session ID="s1" accessLevel="3"/>)"), NoSession, "Invalid session", "", 3},
      {"AccessLevel", Licensed(R"(<session id="s1" AccessLevel="3"/>)"), Accepted, "", "s1", -2},
      {"Error", Licensed(R"(<Error code="3">x</Error>)"), NoSession, "Invalid session", "", -2},
      {"Code", Licensed(R"(<error Code="3">x</error>)"), NoSession, "Invalid session", "", -2},
      {"session outside a license", R"(<Brovik><session id="s1"/></Brovik>)", NoSession, "Invalid session",
       "", -2},
      {"license inside a license", Licensed(R"(<license><session id="s1"/></license>)"), NoSession,
       "Invalid session", "", -2},
      {"session inside a session", Licensed(R"(<session><session id="s1"/></session>)"), NoSession,
       "Invalid session", "", -2},
      {"prefixed document element",
       R"(<x:Brovik xmlns:x="urn:q"><license><session id="s1"/></license></x:Brovik>)", NoSession,
       "Invalid session", "", -2},
      {"default namespace", R"(<Brovik xmlns="urn:q" a="1"><license><session id="s1"/></license></Brovik>)",
       Accepted, "", "s1", -2},
      {"prefixed attribute", Licensed(R"(<session xmlns:x="urn:x" x:id="no" id="s1" xml:lang="en"/>)"),
       Accepted, "", "s1", -2},
      {"only a prefixed id", Licensed(R"(<session x:id="s1" xmlns:x="urn:x"/>)"), NoSession,
       "Invalid session", "", -2},
      {"other nodes ignored",
       "<?xml version=\"1.0\"?>\n<!-- a --><?app x?>\n<Brovik a=\"1\">\n  text<other/><!-- b -->\n"
       "  <license note=\"n\">\n    <![CDATA[c]]><?app y?><other id=\"no\"/>\n"
       "    <session id=\"s1\" accessLevel=\"2\" extra=\"e\"><child/></session>\n  </license>\n</Brovik>\n"
       "<!-- end --><?app z?>\n",
       Accepted, "", "s1", 2},
  };
  for (const auto& c : cases) Check(c);
}

TEST(InterpretAnswer, LaterElementsOverwriteEarlierOnes) {
  const TCase cases[] = {
      {"two licenses",
       R"(<Brovik><license><session id="a" accessLevel="3"/></license>)"
       R"(<x/><license><session id="b"/></license></Brovik>)",
       Accepted, "", "b", 3},
      {"two sessions", Licensed(R"(<session id="a" accessLevel="3"/><session id="b" accessLevel="5"/>)"),
       Accepted, "", "b", 5},
      {"two errors", Licensed(R"(<error code="4">first</error><error code="9">second</error>)"), Failed,
       "Unable to log in: second (error code 9)", "", -2},
      {"a later error with code 0 clears",
       Licensed(R"(<error code="4">first</error><error code="0"/><session id="s"/>)"), Accepted, "", "s", -2},
      {"a later error without code clears",
       Licensed(R"(<error code="4">a</error><error>b</error><session id="s"/>)"), Accepted, "", "s", -2},
      {"a later error without content empties the message",
       Licensed(R"(<error code="4">first</error><error code="6"/>)"), Failed,
       "Unable to log in:  (error code 6)", "", -2},
      {"a later empty id",
       R"(<Brovik><license><session id="a"/></license><license><session id=""/></license></Brovik>)",
       NoSession, "Invalid session", "", -2},
  };
  for (const auto& c : cases) Check(c);
}

TEST(InterpretAnswer, ErrorContentOtherThanOneTextNodeFails) {
  const char* contents[] = {
      "<![CDATA[Locked]]>", "<!-- Locked -->",        "<b>Locked</b>",
      "<?app Locked?>",     "Locked<![CDATA[ out]]>", "Lock<!-- x -->ed",
  };
  for (const char* content : contents) {
    // What came before the bad element stays; what came after it is not read.
    Check({content,
           Licensed(R"(<session id="s1" accessLevel="5"/><error code="3">)" + std::string(content) +
                    R"(</error><session id="s2" accessLevel="6"/>)"),
           Failed, ParseFailure, "s1", 5});
  }
}

TEST(InterpretAnswer, EmptyAndMalformedAnswers) {
  const TCase cases[] = {
      {"zero bytes", "", NoSession, "Invalid session", "", -2},
      {"zero bytes keep a session", "", Accepted, "", "s1", 4, S1Level4},
      {"one line feed", "\n", Failed, ParseFailure, "", -2},
      {"declaration only", "<?xml version=\"1.0\"?>", Failed, ParseFailure, "", -2},
      {"plain text", "Service unavailable", Failed, ParseFailure, "", -2},
      {"truncated", Licensed(R"(<session id="s1"/>)").substr(0, 30), Failed, ParseFailure, "", -2},
      {"two document elements", R"(<Brovik/><Brovik><license><session id="s1"/></license></Brovik>)", Failed,
       ParseFailure, "", -2},
      {"undefined entity", Licensed(R"(<session id="&nbsp;"/>)"), Failed, ParseFailure, "", -2},
      {"a failed load keeps the state", "<Brovik>", Failed, ParseFailure, "s0", 3, S0Level3},
      {"nul byte", std::string("<Brovik>\0</Brovik>", 18), Failed, ParseFailure, "", -2},
#ifndef _WIN32
      // Wine's MSXML drops an undeclared prefix and reads on instead of refusing the answer.
      {"undeclared element prefix", Licensed(R"(<x:session id="s1"/>)"), Failed, ParseFailure, "", -2},
      {"undeclared attribute prefix", Licensed(R"(<session x:id="a" id="s1"/>)"), Failed, ParseFailure, "",
       -2},
#endif
  };
  for (const auto& c : cases) Check(c);
}

TEST(InterpretAnswer, DocumentTypesAreRefused) {
  const std::string body = Licensed(R"(<session id="s1" accessLevel="3"/>)");
  const std::string laughs =
      "<!DOCTYPE Brovik [<!ENTITY a \"lol\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
      "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
      "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>";
  const TCase cases[] = {
      {"bare", "<!DOCTYPE Brovik>" + body, Failed, ParseFailure, "", -2},
      {"billion laughs", laughs + Licensed(R"(<session id="s1"/><error code="1">&i;</error>)"), Failed,
       ParseFailure, "", -2},
      {"external entity",
       R"(<!DOCTYPE Brovik [<!ENTITY x SYSTEM "file:///c:/windows/win.ini">]>)"
       R"(<Brovik><license><error code="1">&x;</error></license></Brovik>)",
       Failed, ParseFailure, "", -2},
  };
  for (const auto& c : cases) Check(c);
}

std::string Utf16(const std::string& ascii, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char c : ascii) {
    // A backslash-free marker stands for é, to keep the source ASCII.
    const char low = c == '~' ? '\xE9' : c;
    bytes += bigEndian ? std::string{'\0', low} : std::string{low, '\0'};
  }
  return bytes;
}

std::string LoneSurrogate() {
  std::string bytes = Utf16(Licensed("<session id=\"#\"/>"), false);
  bytes.replace(bytes.find(std::string("#\0", 2)), 2, std::string("\0\xD8", 2));
  return bytes;
}

TEST(InterpretAnswer, Encodings) {
  const TCase cases[] = {
      {"UTF-8 by default", Licensed("<error code=\"1\">Caf\xC3\xA9</error>"), Failed,
       "Unable to log in: Caf\xE9 (error code 1)", "", -2},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + Licensed("<session id=\"\xC3\xA9\"/>"), Accepted, "", "\xE9",
       -2},
      {"ISO-8859-1 declared",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + Licensed("<session id=\"\xE9\"/>"), Accepted, "",
       "\xE9", -2},
      {"UTF-16LE byte-order mark", Utf16(Licensed("<session id=\"~\" accessLevel=\"3\"/>"), false), Accepted,
       "", "\xE9", 3},
      {"UTF-16BE byte-order mark", Utf16(Licensed("<session id=\"~\" accessLevel=\"3\"/>"), true), Accepted,
       "", "\xE9", 3},
      {"euro sign to its ANSI byte", Licensed("<session id=\"\xE2\x82\xAC\"/>"), Accepted, "", "\x80", -2},
      {"no ANSI byte gives ?",
       Licensed("<session id=\"a\xE4\xB8\xAD"
                "b\"/>"),
       Accepted, "", "a?b", -2},
      {"beyond 16 bits gives a ? for each UTF-16 unit",
       Licensed("<session id=\"a\xF0\x9F\x98\x80"
                "b\"/>"),
       Accepted, "", "a??b", -2},
      {"non-ASCII names", Licensed("<session id=\"s1\"/><\xC3\xA9 id=\"s2\"/>"), Accepted, "", "s1", -2},
      {"Latin-1 byte undeclared", Licensed("<session id=\"\xE9\"/>"), Failed, ParseFailure, "", -2},
      {"bad UTF-8 declared",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + Licensed("<session id=\"\xC3\x28\"/>"), Failed,
       ParseFailure, "", -2},
      {"lone UTF-16 surrogate", LoneSurrogate(), Failed, ParseFailure, "", -2},
  };
  for (const auto& c : cases) Check(c);
}

// Past libxml2's default limit on one text node.
TEST(InterpretAnswer, TenMegabyteAnswer) {
  const std::string message(10u << 20, 'm');
  TSessionState state;
  EXPECT_EQ(InterpretAnswer(Licensed("<error code=\"8\">" + message + "</error>"), state).Message,
            "Unable to log in: " + message + " (error code 8)");
}

std::string Nested(int levels) {
  std::string answer = R"(<Brovik><license><session id="s1"/>)";
  for (int i = 2; i < levels; ++i) answer += "<d>";
  for (int i = 2; i < levels; ++i) answer += "</d>";
  return answer + "</license></Brovik>";
}

TEST(InterpretAnswer, NestingBeyond256LevelsIsRefused) {
  Check({"256 levels", Nested(256), Accepted, "", "s1", -2});
  Check({"257 levels", Nested(257), Failed, ParseFailure, "", -2});
  Check({"100000 levels", Nested(100000), Failed, ParseFailure, "", -2});
}

}  // namespace
