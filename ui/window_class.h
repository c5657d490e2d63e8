#pragma once

// The registration of the window layer's own window classes.

#include <windows.h>

// Registers a window class of the framework's, on the button face; raises an error when that fails.
void RegisterWindowClass(const char* name, WNDPROC procedure, LPCSTR cursor, HICON icon = nullptr);
