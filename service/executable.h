#pragma once

#include <string>
#include <string_view>

// The part of a path after its last "\" or "/".
std::string_view FileNameOf(std::string_view path);

#ifdef _WIN32
// Full path of the running program's executable, in the ANSI code page; empty if it cannot be had.
std::string ExecutablePath();
#endif
