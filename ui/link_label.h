#pragma once

#include <windows.h>

#include "win32/handles.h"

// A web link in a form: navy, underlined, the hand cursor. A click, or Enter or Space while it has the
// focus, tells the parent as a static control with SS_NOTIFY would: WM_COMMAND with STN_CLICKED.
class TLinkLabel {
 public:
  static constexpr char ClassName[] = "QuillonLink";
  static void Register();

 private:
  explicit TLinkLabel(HWND window) : window_(window) {}
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void SetFont(HFONT font);
  void Paint();
  void Clicked() const;

  HWND window_;
  TFont font_;  // the font it was given, underlined
};
