#include <gtest/gtest.h>

#include "app/version.h"

namespace {

TEST(TrimVersionText, DropsTrailingZeroComponentsKeepingTwo) {
  const struct {
    const char* In;
    const char* Out;
  } cases[] = {
      {"4.6.9.0", "4.6.9"},     {"4.0.0.0", "4.0"},   {"5.0.0.1", "5.0.0.1"},   {"4.6.10.0", "4.6.10"},
      {"10.0.0.0", "10.0"},     {"0.0.0.0", "0.0"},   {"1.2.3.4", "1.2.3.4"},   {"1.20.0.0", "1.20"},
      {"3.0.100.0", "3.0.100"}, {"7.10.0.0", "7.10"}, {"0.0.0.10", "0.0.0.10"}, {"65535.0.0.0", "65535.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimVersionText(c.In), c.Out) << c.In;
}

TEST(JoinVersion, WritesTheFourNumbersInDecimal) {
  EXPECT_EQ(JoinVersion(4, 6, 9, 0), "4.6.9.0");
  EXPECT_EQ(JoinVersion(65535, 0, 10, 65535), "65535.0.10.65535");
}

}  // namespace
