#include <gtest/gtest.h>

#include "ui/link_color.h"

namespace {

// Wine cannot switch high contrast on: the program shows only the first case there.
TEST(LinkColor, NavyUnlessHighContrastGivesTheThemesLinkColour) {
  EXPECT_EQ(LinkColor(false, 0x00FFFF), 0x800000u);
  EXPECT_EQ(LinkColor(true, 0x00FFFF), 0x00FFFFu);
}

}  // namespace
