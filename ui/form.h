#pragma once

// The small window framework under the program's two windows: the application object with its message
// loop, and a form base that places its controls in 96-DPI pixels, scaled to the window's DPI.

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

enum class TModalResult { None, OK, Cancel };

class TForm;

class TApplication {
 public:
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
  // Releases the forms, newest first, and COM.
  void Finalize();

  // Shows the main form and runs the message loop until the quit message; returns its exit code.
  int Run();
  // Posts the quit message. From then on a modal form that is started ends at once with Cancel.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Dispatches the messages that are waiting, without blocking.
  void ProcessMessages();
  // Routes a message to the dialog navigation of the form that holds it; true when it was used there.
  bool PreTranslate(MSG& message);

  // The screen cursor: the hourglass while a request blocks the thread.
  void SetBusy(bool busy);
  bool Busy() const { return busy_; }

 private:
  HINSTANCE instance_ = nullptr;
  std::vector<std::unique_ptr<TForm>> forms_;
  TForm* mainForm_ = nullptr;
  bool comInitialized_ = false;
  bool terminated_ = false;
  bool busy_ = false;
};

extern TApplication Application;

class TForm {
 public:
  TForm() = default;
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;
  virtual ~TForm();

  HWND Handle() const { return handle_; }
  bool Visible() const { return handle_ && IsWindowVisible(handle_); }

  // Runs the show event, then puts the form on the screen (unless the event closed it).
  void Show();
  void Hide();
  // As the close box: the close event runs, then the form is hidden; the main form ends the program.
  void Close();
  // Shows the form modally, centred on the screen, until its modal result is set, and returns that result.
  TModalResult ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }
  bool Modal() const { return modal_; }

  void CenterOnScreen();
  void SetCaption(const std::string& caption);
  std::string Caption() const;

  // The DPI scale applied to a 96-DPI pixel figure.
  int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

 protected:
  struct Geometry {
    DWORD style;
    DWORD exStyle;
    int width;  // 96-DPI pixels
    int height;
    bool clientSize;  // width and height are of the client area, not of the whole window
  };
  void CreateForm(const char* caption, const Geometry& geometry);

  // A child control, created at a 96-DPI position and re-placed whenever the DPI changes.
  HWND AddControl(HWND parent, const char* className, const char* text, DWORD style, int left, int top,
                  int width, int height, int id = 0, DWORD exStyle = 0);
  void MoveControl(HWND control, int left, int top, int width, int height);
  HFONT Font() const { return font_; }

  virtual void FormShow() {}
  virtual void FormClose() {}
  // Called after the window's size or DPI changed.
  virtual void FormResize() {}
  // Called after the controls were re-placed and given the font of a new DPI.
  virtual void DpiChanged() {}
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // True for a form that ends the program when it closes.
  virtual bool IsMainForm() const { return Application.MainForm() == this; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void ApplyDpi(int dpi);
  // Gives the window this outer size, centred on its screen.
  void Place(int width, int height);

  struct Placement {
    HWND control;
    RECT bounds;  // 96-DPI pixels
  };

  HWND handle_ = nullptr;
  HFONT font_ = nullptr;
  int dpi_ = 96;
  Geometry geometry_{};
  std::vector<Placement> placements_;
  TModalResult modalResult_ = TModalResult::None;
  bool modal_ = false;
  int closes_ = 0;
};

// The text of a window or control, in the ANSI code page.
std::string WindowText(HWND window);

// A bar without a bevel that holds controls and passes their notifications to its parent.
HWND CreatePanel(HWND parent);
