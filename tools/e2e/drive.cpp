// quillon-drive: one step of driving Quillon's windows from a script, as a user would.
//
//   quillon-drive wait CAPTION                  a visible window with this caption appears
//   quillon-drive wait-prefix PREFIX            ... with a caption that begins so; prints the caption
//   quillon-drive gone CAPTION                  no window with this caption is left
//   quillon-drive set-text CAPTION CLASS N TEXT types TEXT into the N-th control of CLASS
//   quillon-drive check CAPTION CLASS N 0|1     unchecks or checks a check box
//   quillon-drive click CAPTION CLASS N         presses the N-th control of CLASS
//   quillon-drive text CAPTION CLASS N          prints the control's text
//   quillon-drive dismiss TITLE                 prints a message box's text and presses its OK
//   quillon-drive menu PREFIX N                 opens the Tools menu of the main window, chooses item N
//   quillon-drive close PREFIX                  closes the window whose caption begins so
//   quillon-drive rect PREFIX                   prints the window's place on the screen as WxH+X+Y
//
// Exits 0 on success, 1 when the window or control did not turn up in time, 2 on a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "session/tests/gui_driver.h"

namespace {

HWND Window(const std::string& caption, bool prefix) {
  HWND window = prefix ? gui::WaitForWindowPrefix(caption) : gui::WaitForWindow(caption);
  if (!window) {
    std::fprintf(stderr, "no window \"%s\"\n", caption.c_str());
    std::exit(1);
  }
  return window;
}

HWND Control(char** argv) {
  HWND control = gui::Control(Window(argv[2], false), argv[3], std::strtoul(argv[4], nullptr, 10));
  if (!control) {
    std::fprintf(stderr, "no control %s %s in \"%s\"\n", argv[3], argv[4], argv[2]);
    std::exit(1);
  }
  return control;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "wait" && argc == 3) {
    Window(argv[2], false);
  } else if (verb == "wait-prefix" && argc == 3) {
    std::printf("%s\n", gui::Text(Window(argv[2], true)).c_str());
  } else if (verb == "gone" && argc == 3) {
    if (!gui::WaitUntil(
            [&] { return gui::WaitForWindow(argv[2], 0, std::chrono::milliseconds(0)) == nullptr; }))
      return 1;
  } else if (verb == "set-text" && argc == 6) {
    gui::SetText(Control(argv), argv[5]);
  } else if (verb == "check" && argc == 6) {
    gui::SetChecked(Control(argv), std::string(argv[5]) == "1");
  } else if (verb == "click" && argc == 5) {
    gui::Click(Control(argv));
  } else if (verb == "text" && argc == 5) {
    std::printf("%s\n", gui::Text(Control(argv)).c_str());
  } else if (verb == "dismiss" && argc == 3) {
    const auto text = gui::DismissMessageBox(argv[2]);
    if (!text) return 1;
    std::printf("%s\n", text->c_str());
  } else if (verb == "menu" && argc == 4) {
    gui::ChooseFromPopup(gui::Control(Window(argv[2], true), "Button", 0),
                         static_cast<int>(std::strtol(argv[3], nullptr, 10)));
  } else if (verb == "close" && argc == 3) {
    PostMessageA(Window(argv[2], true), WM_CLOSE, 0, 0);
  } else if (verb == "rect" && argc == 3) {
    RECT r{};
    GetWindowRect(Window(argv[2], true), &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
  } else {
    std::fprintf(stderr, "usage: see the head of drive.cpp\n");
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
