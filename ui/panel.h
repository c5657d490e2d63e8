#pragma once

#include <windows.h>

// A bar without a bevel that holds controls and passes their notifications on to its parent, so that the
// form handles its controls wherever they sit.
class TPanel {
 public:
  static constexpr char ClassName[] = "QuillonPanel";
  static void Register();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
