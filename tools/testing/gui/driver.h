#pragma once

// Drives windows as a user would, from another thread or another process: finds windows by caption and
// controls by class and order, types, presses, reads and dismisses message boxes, chooses from menus.
// Every step that leads somewhere waits for the state it leads to, with one bounded time-out, and raises
// EStepFailed naming the step when that state does not come. Nothing waits for a fixed time.

#include <windows.h>

#include <oleacc.h>

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "win32/com.h"

namespace gui {

using namespace std::chrono_literals;
using TDuration = std::chrono::milliseconds;

inline constexpr TDuration StepTimeout = 10s;

// A step whose state did not come in time; what() names the step.
class EStepFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Polls condition until it holds; false at the time-out.
template <class Condition>
bool WaitUntil(Condition condition, TDuration timeout = StepTimeout, TDuration poll = 10ms) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Sleep(static_cast<DWORD>(poll.count()));
  }
  return true;
}

// As WaitUntil; a time-out raises EStepFailed("step").
template <class Condition>
void Await(const std::string& step, Condition condition, TDuration timeout = StepTimeout) {
  if (!WaitUntil(condition, timeout)) throw EStepFailed(step);
}

// The top-level windows of process pid, visible or not.
std::vector<HWND> TopLevelWindows(DWORD pid);
// The visible top-level window whose caption is caption (begins with it, when prefix), of process pid or,
// when pid is 0, of any process; null when there is none now.
HWND FindVisible(const std::string& caption, DWORD pid = 0, bool prefix = false);
// Waits for that window.
HWND Window(const std::string& caption, DWORD pid = 0, TDuration timeout = StepTimeout);
HWND WindowPrefix(const std::string& prefix, DWORD pid = 0, TDuration timeout = StepTimeout);

// The descendants of parent of this window class, in creation order.
std::vector<HWND> Controls(HWND parent, const char* className);
// The index-th of them; raises EStepFailed when there is no such control.
HWND Control(HWND parent, const char* className, std::size_t index);

// Texts and check boxes are read and set synchronously; a window that does not answer raises EStepFailed.
std::string Text(HWND window);
void SetText(HWND control, const std::string& text);
bool Checked(HWND checkBox);
void SetChecked(HWND checkBox, bool checked);
// Presses a button, or a key on a control; what that leads to is for the caller to wait for.
void Click(HWND button);
void PressKey(HWND control, WPARAM key);

// Centred on the screen, as the window system itself would place it.
bool Centred(HWND window);

// The program's own message boxes have one OK button and no icon, and are centred on the screen; the
// installer's may show an icon, and may ask to try again with Retry and Cancel.
enum class TBoxLook { Plain, IconAllowed, RetryCancel };
// Waits for the message box of process pid (any, when 0) with this caption, reads its text, presses the
// button press (OK; Retry or Cancel where look is RetryCancel) and waits until it has gone. A box with
// other buttons than look names, or with an icon or out of the middle of the screen where look does not
// allow it, fails the step.
std::string DismissMessageBox(const std::string& caption, DWORD pid = 0, TBoxLook look = TBoxLook::Plain,
                              int press = IDOK);
// The text that a message box shows.
std::string MessageBoxText(HWND box);

// The active window and the window with the keyboard focus in the thread of window, as another process
// sees them.
struct TFocus {
  HWND Active = nullptr;
  HWND Focus = nullptr;
  bool operator==(const TFocus&) const = default;
};
TFocus FocusOf(HWND window);
// Waits until window is active with the focus on control; raises EStepFailed naming where they are.
void AwaitFocus(HWND window, HWND control);
// The desktop takes the front, as another program that the user switches to would, and gives it back to
// window; returns once window is active again.
void SwitchAwayAndBack(HWND window);

// The client object of window as a screen reader gets it, in this thread's COM apartment; raises
// EStepFailed when there is none.
TComPtr<IAccessible> ClientObject(HWND window);
// The child identifier of an accessible object itself.
inline const VARIANT Self = [] {
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}();
// The text of a string that an accessible object handed over, which is freed.
std::wstring Taken(BSTR text);

// True while the thread's menu loop runs (a popup menu is being tracked).
bool InMenuMode(DWORD thread);

// Opens the popup menu of button with the mouse pointer away from it, chooses the item at index (separators
// are passed over, as the keyboard passes over them) once the menu reads the keyboard, and waits for
// effect(). Raises EStepFailed naming the item when the menu does not open at the pointer, stays open, or
// closes without the effect.
void ChooseFromPopup(HWND button, int index, const std::string& item, const std::function<bool()>& effect);

// Ends the Windows session as a log-off does under Wine: every top-level window of the prefix's programs,
// hidden ones too, gets WM_QUERYENDSESSION and then WM_ENDSESSION, and each program is ended once its
// windows have handled the latter. False when wineboot did not finish within 30 s.
bool EndWindowsSession();

// A Unix path of the build tree as Wine's Z: drive sees it; other paths stay as they are.
std::string WindowsPath(std::string path);

// A program started as a process of its own; ended by force if it still runs when this goes.
class TProgram {
 public:
  explicit TProgram(const std::string& path, const std::string& arguments = {});
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  DWORD Pid() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  // The moment just before the process was created.
  std::chrono::steady_clock::time_point StartedAt() const { return startedAt_; }
  bool Running() const;
  // The exit code, once the program has ended; raises EStepFailed when it has not within timeout.
  long ExitCode(TDuration timeout = 15s) const;

 private:
  PROCESS_INFORMATION info_{};
  std::chrono::steady_clock::time_point startedAt_;
};

// Quillon's own windows, as a user finds them.

inline constexpr char SignInCaption[] = "Log In";
inline constexpr char MainCaptionPrefix[] = "Quillon V";

struct TFields {
  std::string User, Password;
  bool Remember = false;
  bool operator==(const TFields&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const TFields& f) {
    return out << '{' << f.User << ", " << f.Password << ", " << (f.Remember ? "checked" : "unchecked")
               << '}';
  }
};

class TSignInDialog {
 public:
  explicit TSignInDialog(HWND window) : window_(window) {}
  HWND Handle() const { return window_; }
  HWND UserEdit() const { return Control(window_, "Edit", 0); }
  HWND PasswordEdit() const { return Control(window_, "Edit", 1); }
  HWND RememberMe() const { return Control(window_, "Button", 0); }
  HWND LogIn() const { return Control(window_, "Button", 1); }
  HWND Cancel() const { return Control(window_, "Button", 2); }

  TFields Shown() const;
  void Type(const TFields& fields) const;
  // Types user name and password and presses "Log In"; the check box stays as it is.
  void SignIn(const std::string& user, const std::string& password) const;
  // After a refused attempt: "Log In" is usable again and the dialog still up.
  void AwaitReady() const;

 private:
  HWND window_;
};

class TMainWindow {
 public:
  explicit TMainWindow(HWND window) : window_(window) {}
  HWND Handle() const { return window_; }
  HWND ToolsButton() const { return Control(window_, "Button", 0); }
  // "User name: ..." and "Access level: ...".
  std::vector<std::string> Labels() const;
  // Tools, then "Log Out": the window hides.
  void LogOut() const;
  // Tools, then "Exit": the program ends.
  void Exit(const TProgram& program) const;

 private:
  HWND window_;
};

TSignInDialog AwaitSignInDialog(DWORD pid, TDuration timeout = StepTimeout);
// Removes the remembered user name and password from the current user's registry, so that the dialog
// starts as at a first run.
void ForgetRememberedCredentials();
TMainWindow AwaitMainWindow(DWORD pid, TDuration timeout = StepTimeout);

}  // namespace gui
