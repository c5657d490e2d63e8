#pragma once

// The application object: the program's forms, its one message loop, and the screen cursor while a
// request blocks the thread.

#include <windows.h>

#include <memory>
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
  bool PumpMessage(bool wait, TLoop loop = TLoop::Nested);

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
