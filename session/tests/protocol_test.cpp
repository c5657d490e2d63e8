#include <gtest/gtest.h>

#include <climits>

#include "service/base64.h"
#include "session/protocol.h"
#include "session/session_state.h"

namespace {

// Decimal with sign, leading zeros and the 32-bit range, blanks only before; "$", "x" and "0x" in either
// case without a sign, as a 32-bit pattern; nothing to read gives 0.
TEST(ParseAnswerInteger, Table) {
  const struct {
    const char* Text;
    std::int32_t Value;
  } cases[] = {
      {"+7", 7},
      {"-5", -5},
      {"-0", 0},
      {"000000000000000000012", 12},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"2147483648", 0},
      {"-2147483649", 0},
      {" 7", 7},
      {"\t7", 0},
      {"7 ", 0},
      {"- 7", 0},
      {"1.5", 0},
      {"$7", 7},
      {"0X10", 16},
      {"x1f", 31},
      {" $aB", 171},
      {"$", 0},
      {"0x", 0},
      {"x", 0},
      {"$g", 0},
      {"$0x7", 0},
      {"00x7", 0},
      {"10", 10},
      {"-$7", 0},
      {"+0x10", 0},
      {"$80000000", INT_MIN},
      {"0x00000000FFFFFFFF", -1},
      {"$100000000", 0},
      {"", 0},
      {" ", 0},
      {"-", 0},
      {"abc", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseAnswerInteger(c.Text), c.Value) << '"' << c.Text << '"';
}

TEST(ParseAnswerInteger, StopsAtTheEndOfTheView) {
  const std::string text = "127";
  EXPECT_EQ(ParseAnswerInteger(std::string_view(text).substr(0, 2)), 12);
  EXPECT_EQ(ParseAnswerInteger(std::string_view("7\0", 2)), 0);
}

TEST(AccessLevelName, Table) {
  const struct {
    std::int32_t Level;
    const char* Name;
  } cases[] = {
      {2, "Pro user"},   {3, "Tester"}, {4, "Developer"}, {5, "Super Developer"},
      {6, "Admin"},      {7, "Client"}, {-2, "User"},     {-1, "User"},
      {0, "User"},       {1, "User"},   {8, "User"},      {INT_MIN, "User"},
      {INT_MAX, "User"},
  };
  for (const auto& c : cases) EXPECT_EQ(AccessLevelName(c.Level), c.Name) << c.Level;
}

TEST(MakeSignInKey, JoinsUserThenPasswordWithABarUnescaped) {
  const struct {
    std::string User, Password;
    std::string Joined;
  } cases[] = {
      {"", "", "|"},
      {"ann", "", "ann|"},
      {"", "secret", "|secret"},
      {"ann", "secret", "ann|secret"},
      {"a|b", "c|d", "a|b|c|d"},
      {"Ren\xE9", "p\xE4ss", "Ren\xE9|p\xE4ss"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MakeSignInKey(c.User, c.Password), EncodeBase64(c.Joined)) << c.Joined;
  EXPECT_EQ(MakeSignInKey("", ""), "fA==");
  EXPECT_EQ(MakeSignInKey("ann", "secret"), "YW5ufHNlY3JldA==");
  EXPECT_NE(MakeSignInKey("ann", "secret"), MakeSignInKey("secret", "ann"));
}

TEST(SessionState, StartsSignedOutAtLevelMinusTwo) {
  // Before any test touches it: the program's record as it is at start-up.
  EXPECT_EQ(SessionState.UserName, "");
  EXPECT_EQ(SessionState.SessionId, "");
  EXPECT_EQ(SessionState.AccessLevel, -2);
  EXPECT_EQ(AccessLevelName(SessionState.AccessLevel), "User");
}

TEST(IsSignedIn, NeedsBothUserNameAndSessionId) {
  EXPECT_FALSE(IsSignedIn({}));
  EXPECT_FALSE(IsSignedIn({"ann", "", 7}));
  EXPECT_FALSE(IsSignedIn({"", "s1", 7}));
  EXPECT_TRUE(IsSignedIn({"ann", "s1", -2}));
}

}  // namespace
