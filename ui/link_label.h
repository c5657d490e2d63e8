#pragma once

#include <windows.h>

#include "win32/handles.h"

// A web link in a form: navy (the theme's link colour in high contrast), underlined, the hand cursor. A
// click, Enter or Space while it has the focus, or the default action of its accessible object (a link
// to screen readers), tells the parent as a static control with SS_NOTIFY would: WM_COMMAND with
// STN_CLICKED.
class TLinkLabel {
 public:
  static constexpr char ClassName[] = "QuillonLink";
  static void Register();

 private:
  explicit TLinkLabel(HWND window) : window_(window) {}
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void SetFont(HFONT font);
  void Paint();
  void Clicked() const;

  HWND window_;
  TFont font_;  // the font it was given, underlined
};
