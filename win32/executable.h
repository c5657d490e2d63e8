#pragma once

// The running program's executable: its path and file name, and the rule that takes a file name out of a
// path in the ANSI code page (platform-free).

#include <string>
#include <string_view>

#include "win32/code_page.h"

// The part of a path after its last "\" or "/" character.
std::string_view FileNameOf(std::string_view path, const TCodePage& codePage);

#ifdef _WIN32
// Full path of the running program's executable; empty if it cannot be had. In UTF-16: a folder such as
// the user's profile may hold characters that the ANSI code page lacks.
std::wstring ExecutablePath();

// The executable's file name with its extension, in the ANSI code page: the HTTP user agent, and what the
// application title is cut from.
std::string ExecutableFileName();
#endif
