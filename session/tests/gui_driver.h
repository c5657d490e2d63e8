#pragma once

// Drives the program's windows as a user would, from another thread or another process: finds windows by
// caption and controls by class and order, types, presses, and reads and dismisses message boxes.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace gui {

using namespace std::chrono_literals;

// A visible top-level window with this caption (of process pid, when given), waited for.
HWND WaitForWindow(const std::string& caption, DWORD pid = 0, std::chrono::milliseconds timeout = 10s);
// As WaitForWindow, but for a caption that begins with prefix.
HWND WaitForWindowPrefix(const std::string& prefix, DWORD pid = 0, std::chrono::milliseconds timeout = 10s);

// The descendants of parent of this window class, in creation order.
std::vector<HWND> Controls(HWND parent, const char* className);
HWND Control(HWND parent, const char* className, std::size_t index);

std::string Text(HWND window);
void SetText(HWND control, const std::string& text);
void Click(HWND button);
bool Checked(HWND checkBox);
void SetChecked(HWND checkBox, bool checked);

// Waits for a message box with this caption, returns its text and presses its OK button.
std::optional<std::string> DismissMessageBox(const std::string& caption, DWORD pid = 0,
                                             std::chrono::milliseconds timeout = 10s);

// Opens the popup menu of a button and chooses its item at index, counting the items that can be chosen
// (separators are passed over, as the keyboard passes over them).
void ChooseFromPopup(HWND button, int index);

// A program started as a process of its own; ended by force if it still runs when this goes.
class Program {
 public:
  explicit Program(const std::string& path);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  bool Started() const { return info_.hProcess != nullptr; }
  DWORD Pid() const { return info_.dwProcessId; }
  // The exit code, or -1 when the program is still running after the wait.
  long ExitCode(std::chrono::milliseconds wait = 15s) const;

 private:
  PROCESS_INFORMATION info_{};
};

// A Unix path of the build tree as Wine's Z: drive sees it; other paths stay as they are.
std::string WindowsPath(std::string path);

// Waits until condition() holds; false on time-out.
template <class Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = 10s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(20);
  }
  return true;
}

}  // namespace gui
