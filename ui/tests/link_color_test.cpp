#include <gtest/gtest.h>

#include "ui/link_color.h"

namespace {

// Wine cannot switch high contrast on, so the windows tree sees only the first row in the program.
TEST(LinkColor, NavyUnlessHighContrastGivesTheThemesLinkColour) {
  const struct {
    bool HighContrast;
    std::uint32_t System, Expected;
  } cases[] = {
      {false, 0x00FFFF, 0x800000},  // the theme's yellow on black stays unused
      {true, 0x00FFFF, 0x00FFFF},
      {true, 0x800000, 0x800000},  // a theme that chose navy keeps it
  };
  for (const auto& c : cases) EXPECT_EQ(LinkColor(c.HighContrast, c.System), c.Expected) << c.HighContrast;
}

}  // namespace
