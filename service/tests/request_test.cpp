#include <gtest/gtest.h>

#include <set>

#include "service/base64.h"
#include "service/request.h"

namespace {

std::string Byte(int value) { return std::string(1, static_cast<char>(value)); }

TEST(UrlEncode, CopiesExactlyTheUnreservedBytesAndEscapesAllOthers) {
  const std::string unreserved = "!$'()*-./0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
  ASSERT_EQ(unreserved.size(), 73u);
  const std::set<char> kept(unreserved.begin(), unreserved.end());
  static constexpr char Hex[] = "0123456789ABCDEF";
  for (int b = 0; b < 256; ++b) {
    const std::string in = Byte(b);
    const std::string expected = kept.contains(in[0]) ? in : std::string{'%', Hex[b >> 4], Hex[b & 15]};
    EXPECT_EQ(UrlEncode(in), expected) << "byte " << b;
  }
}

TEST(UrlEncode, Examples) {
  const struct {
    std::string In, Out;
  } cases[] = {
      {"", ""},
      {" ", "%20"},
      {"+", "%2B"},
      {"=", "%3D"},
      {"&", "%26"},
      {"%", "%25"},
      {"~", "%7E"},
      {"\n", "%0A"},
      {"/@$'", "/@$'"},
      {"a&b", "a%26b"},
      {Byte(233), "%E9"},
      {Byte(171), "%AB"},
      {std::string("a\0b", 3), "a%00b"},
      {"Ren" + Byte(233) + " M", "Ren%E9%20M"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.In), c.Out) << c.In;
}

TEST(UrlEncode, Base64KeyKeepsSolidusAndEscapesPlusAndEquals) {
  // "~~~|>?" gives "fn5+fD4/" ; one more byte forces padding.
  EXPECT_EQ(EncodeBase64("~~~|>?"), "fn5+fD4/");
  EXPECT_EQ(UrlEncode(EncodeBase64("~~~|>?")), "fn5%2BfD4/");
  EXPECT_EQ(UrlEncode(EncodeBase64("|")), "fA%3D%3D");
}

TEST(BuildRequestUrl, ComposesFunctionAndEscapedPairsInOrder) {
  const std::string base(ServiceBaseAddress);
  const struct {
    std::int32_t Function;
    std::vector<std::string> Names, Values;
    std::string Tail;
  } cases[] = {
      {2, {}, {}, "2"},
      {0, {}, {}, "0"},
      {-7, {}, {}, "-7"},
      {2147483647, {}, {}, "2147483647"},
      {-2147483647 - 1, {}, {}, "-2147483648"},
      {1, {"key"}, {"fA=="}, "1&key=fA%3D%3D"},
      {2, {"session"}, {"a&b"}, "2&session=a%26b"},
      {9, {"a", "b", "c"}, {"1", "", "x y"}, "9&a=1&b=&c=x%20y"},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildRequestUrl(c.Function, c.Names, c.Values), base + c.Tail);
}

TEST(ServiceBaseAddress, IsPlainHttpEndingInTheFunctionParameter) {
  EXPECT_TRUE(ServiceBaseAddress.starts_with("http://"));
  EXPECT_TRUE(ServiceBaseAddress.ends_with("select.php?func="));
  EXPECT_TRUE(BuildRequestUrl(2, {}, {}).ends_with("func=2"));
}

TEST(EncodeBase64, Rfc4648Vectors) {
  const struct {
    std::string In, Out;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeBase64(c.In), c.Out) << c.In;
}

TEST(EncodeBase64, BinaryDataAndZeroPaddingBits) {
  EXPECT_EQ(EncodeBase64(std::string("\0", 1)), "AA==");
  EXPECT_EQ(EncodeBase64(std::string("\0\0", 2)), "AAA=");
  EXPECT_EQ(EncodeBase64(std::string("\0\0\0", 3)), "AAAA");
  EXPECT_EQ(EncodeBase64(std::string("\xff", 1)), "/w==");
  EXPECT_EQ(EncodeBase64(std::string("\xff\xff", 2)), "//8=");
  EXPECT_EQ(EncodeBase64(std::string("\xff\xff\xff\xff", 4)), "/////w==");
  EXPECT_EQ(EncodeBase64(std::string("\x00\x10\x83\x10\x51\x87", 6)), "ABCDEFGH");
  for (std::size_t n = 0; n < 40; ++n) EXPECT_EQ(EncodeBase64(std::string(n, 'x')).size(), (n + 2) / 3 * 4);
}

}  // namespace
