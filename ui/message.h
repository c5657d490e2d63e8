#pragma once

// The program's message box: the rule of its caption (platform-free) and, on Windows, the box itself.

#include <string>
#include <string_view>

#include "win32/code_page.h"

// The caption of the program's message boxes: the executable's file name without its folder, cut before
// its first ".", every character after the first in lower case.
std::string ApplicationTitle(std::string_view executablePath, const TCodePage& codePage);

#ifdef _WIN32
// The one way the program tells the user something: a modal box centred on the screen, one "OK" button,
// no icon, the application title as caption. It belongs to the program's active window (or else its
// first usable one), which is active again once the box is gone; every other window waits meanwhile.
void ShowMessage(const std::string& text);
#endif
