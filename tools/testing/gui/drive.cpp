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
//   quillon-drive menu PREFIX N                 chooses item N of the main window's Tools menu; both of its
//                                               items hide the window
//   quillon-drive close PREFIX                  closes the window whose caption begins so
//   quillon-drive rect PREFIX                   prints the window's place on the screen as WxH+X+Y
//
// Exits 0 on success, 1 when a step did not come about in time (the step is named on stderr), 2 on a
// usage error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/testing/gui/driver.h"

namespace {

HWND Control(char** argv) {
  return gui::Control(gui::Window(argv[2]), argv[3], std::strtoul(argv[4], nullptr, 10));
}

int Drive(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "wait" && argc == 3) {
    gui::Window(argv[2]);
  } else if (verb == "wait-prefix" && argc == 3) {
    std::printf("%s\n", gui::Text(gui::WindowPrefix(argv[2])).c_str());
  } else if (verb == "gone" && argc == 3) {
    gui::Await("no window \"" + std::string(argv[2]) + "\" is left",
               [&] { return !gui::FindVisible(argv[2]); });
  } else if (verb == "set-text" && argc == 6) {
    gui::SetText(Control(argv), argv[5]);
  } else if (verb == "check" && argc == 6) {
    gui::SetChecked(Control(argv), std::string(argv[5]) == "1");
  } else if (verb == "click" && argc == 5) {
    gui::Click(Control(argv));
  } else if (verb == "text" && argc == 5) {
    std::printf("%s\n", gui::Text(Control(argv)).c_str());
  } else if (verb == "dismiss" && argc == 3) {
    std::printf("%s\n", gui::DismissMessageBox(argv[2]).c_str());
  } else if (verb == "menu" && argc == 4) {
    HWND window = gui::WindowPrefix(argv[2]);
    gui::ChooseFromPopup(gui::Control(window, "Button", 0),
                         static_cast<int>(std::strtol(argv[3], nullptr, 10)), std::string("item ") + argv[3],
                         [&] { return !IsWindowVisible(window); });
  } else if (verb == "close" && argc == 3) {
    PostMessageA(gui::WindowPrefix(argv[2]), WM_CLOSE, 0, 0);
  } else if (verb == "rect" && argc == 3) {
    RECT r{};
    GetWindowRect(gui::WindowPrefix(argv[2]), &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
  } else {
    std::fprintf(stderr, "usage: see the head of drive.cpp\n");
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int status = Drive(argc, argv);
    std::fflush(stdout);
    return status;
  } catch (const gui::EStepFailed& failed) {
    std::fprintf(stderr, "quillon-drive: %s\n", failed.what());
    return 1;
  }
}
