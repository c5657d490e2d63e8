#pragma once

#include <string>

namespace gui {

// Writes what the screen shows, once it has stopped changing, as a 24-bit BMP file; false when it could
// not.
bool SaveScreen(const std::string& path);

}  // namespace gui
