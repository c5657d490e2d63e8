#pragma once

// Quillon's windows as the plainest Win32 code makes them, for the benchmark's limits: one window class
// for every form, Quillon's sizes in 96-DPI pixels scaled to the system's DPI, its font, no framework.
#include <windows.h>

namespace limit {

struct TMainWindow {
  HWND Window, UserLabel, AccessLevelLabel;
};

// Registers the window classes and makes the font; before any window.
void Initialize(HINSTANCE instance);

int Scale(int pixels);
HFONT Font();

// A hidden form of the given outer size, centred on the screen. Closing any form ends the message loop;
// its IDCANCEL closes it, its IDOK runs logIn when one is set.
HWND MakeForm(const char* caption, DWORD style, DWORD exStyle, int width, int height);
void SetLogIn(void (*logIn)(HWND form));

HWND AddControl(HWND parent, const char* className, const char* text, DWORD style, int left, int top,
                int width, int height, int id = 0, DWORD exStyle = 0);

// Quillon's main window, hidden: the bar with the two empty labels, the Tools button and its menu.
TMainWindow MakeMainWindow(const char* caption);

}  // namespace limit
