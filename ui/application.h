#pragma once

// The application object: the program's forms, its one message loop, and the busy state of a request.

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TForm;

class TApplication {
 public:
  // DPI awareness, the common controls and the window classes of the framework.
  // Raises an error when a window class cannot be registered.
  void Initialize(HINSTANCE instance);
  HINSTANCE Instance() const { return instance_; }

  // Makes a form that the application owns until Finalize; the first one made is the main form.
  template <class Form, class... Args>
  Form& CreateForm(Args&&... args) {
    auto form = std::make_unique<Form>(std::forward<Args>(args)...);
    Form& made = *form;
    forms_.push_back(std::move(form));
    if (!mainForm_) mainForm_ = &made;
    return made;
  }
  TForm* MainForm() const { return mainForm_; }
  // Releases the forms, newest first.
  void Finalize();

  // Shows the main form and runs the message loop until the quit message; returns its exit code.
  int Run();
  // Posts the quit message, with the exit code 0. From then on a modal form that is started ends at once
  // with Cancel.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Dispatches the messages that are waiting, without blocking.
  void ProcessMessages();
  // The one step of every message loop: takes a message, waiting for one when wait, and dispatches it.
  // False when none was waiting, and at the quit message, which ends every loop that meets it: a nested
  // loop (a modal form's, ProcessMessages) leaves it, with its exit code, for the application's loop.
  enum class TLoop { Nested, Application };
  bool HandleMessage(bool wait, TLoop loop = TLoop::Nested);

  // The screen cursor: the hourglass while a request blocks the thread.
  void SetBusy(bool busy);
  // Makes the hourglass once, ahead of the first request: the window system takes a while for a cursor's
  // first showing.
  static void PrepareBusy();
  bool Busy() const { return busy_; }

 private:
  // Routes a message to the dialog navigation of the form that holds it; true when it was used there.
  static bool PreTranslate(MSG& message);

  HINSTANCE instance_ = nullptr;
  std::vector<std::unique_ptr<TForm>> forms_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  int exitCode_ = 0;
  bool busy_ = false;
};

extern TApplication Application;

// The busy state of a request that blocks the thread: the control that started it disabled and the
// hourglass shown, and the waiting messages processed so that this shows before the request begins. Ends
// when the guard goes or at End(), which comes before any message box about the answer; a control that had
// the focus has it again.
class TBusy {
 public:
  explicit TBusy(HWND control);
  ~TBusy() { End(); }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;
  void End();

 private:
  HWND control_;
  bool hadFocus_;
  bool ended_ = false;
};

// Registers a window class of the framework's, on the button face; raises an error when that fails.
void RegisterWindowClass(const char* name, WNDPROC procedure, LPCSTR cursor, HICON icon = nullptr);

// Raises std::system_error with GetLastError() and what failed.
[[noreturn]] void RaiseLastError(const std::string& what);

// Tells the user of an error; never raises one of its own.
void ShowError(const char* text) noexcept;

// The barrier of every callback of the system's that runs code which may raise: an exception that unwound
// through the system's frames would end the process without a word. An error ends the call, is told to
// the user, and the callback returns failed.
template <class Body, class Result>
Result CallbackBarrier(Body&& body, Result failed) noexcept {
  try {
    return body();
  } catch (const std::exception& error) {
    ShowError(error.what());
  } catch (...) {
    ShowError("Unexpected error");
  }
  return failed;
}
