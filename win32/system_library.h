#pragma once

#include <initializer_list>

// Libraries that the system's own libraries load by name, loaded first from the system folder by their
// full path: the later load by name then finds them loaded, and never takes a planted copy from the
// program's folder.
//
// Each stays loaded for the rest of the process, as the load by name would have kept it.
void LoadSystemLibraries(std::initializer_list<const char*> names);

// What the window system's own libraries load by name at the program's first activation of a window
// (ole32) and its first painting (msimg32); once, just before.
void PrepareFirstWindow();
