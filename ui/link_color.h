#pragma once

#include <cstdint>

// The colour of a link's text: navy, unless high contrast is on, where the navy may vanish on the theme's
// background and the theme's own colour for links takes its place.
constexpr std::uint32_t LinkColor(bool highContrast, std::uint32_t systemLinkColor) {
  constexpr std::uint32_t Navy = 0x800000;  // as RGB(0, 0, 128) makes it
  return highContrast ? systemLinkColor : Navy;
}
