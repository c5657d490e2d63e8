#pragma once

#include <string>

// "major.minor.release.build" in decimal.
std::string JoinVersion(unsigned major, unsigned minor, unsigned release, unsigned build);

// Drops trailing ".0" components, keeping at least "major.minor": 4.6.9.0 gives 4.6.9, 4.0.0.0 gives 4.0.
std::string TrimVersionText(std::string text);

#ifdef _WIN32
// The file version of the program's own executable; empty when it has no version resource.
std::string GetVersionText(bool trim);
#endif
