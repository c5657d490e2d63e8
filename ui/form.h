#pragma once

// The base of the program's windows: a form that places its controls in 96-DPI pixels, scaled to the
// window's DPI, keeps each at the edges it is anchored to, runs its handlers by the names of its events,
// and routes the clicks of its controls and menu items to the handlers they were made with.

#include <windows.h>

#include <string>
#include <vector>

#include "ui/application.h"
#include "win32/handles.h"

enum class TModalResult { None, OK, Cancel };

// The edges of its parent that a control keeps its distance to when the parent is resized.
enum class TAnchor { Left, Right, LeftAndRight };

// Where a control sits in its parent, in 96-DPI pixels. Left is its distance from the parent's left edge,
// Right from the parent's right edge; which of them holds is its anchor's to say. With both, the width
// follows the parent's.
struct TPlacement {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Right = 0;
  TAnchor Anchor = TAnchor::Left;
};

class TForm {
 public:
  static constexpr char ClassName[] = "QuillonForm";
  static void Register();

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
  // The program's other windows wait meanwhile, and are usable again however it ends.
  TModalResult ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }

  void CenterOnScreen();
  void SetCaption(const std::string& caption);
  std::string Caption() const;

  // The DPI scale applied to a 96-DPI pixel figure.
  int Scale(int pixels) const { return MulDiv(pixels, dpi_, 96); }

 protected:
  struct TGeometry {
    DWORD Style;
    DWORD ExStyle;
    int Width;  // 96-DPI pixels
    int Height;
    bool ClientSize;  // Width and Height are of the client area, not of the whole window
  };
  // Makes the window, centred on the screen. Raises an error when it cannot be made.
  void CreateForm(const char* caption, const TGeometry& geometry);

  // A child control, placed now and whenever its parent's size or the DPI changes. Raises an error when it
  // cannot be made.
  HWND AddControl(HWND parent, const char* className, const char* text, DWORD style,
                  const TPlacement& placement, DWORD exStyle = 0);
  // The same, with click, a handler of the form's, run when the control is clicked (BN_CLICKED,
  // STN_CLICKED) while it is enabled. Its id is a free one, or the id given: IDOK for the button that Enter
  // presses, IDCANCEL for the one that Escape presses.
  template <class Form>
  HWND AddControl(HWND parent, const char* className, const char* text, DWORD style,
                  const TPlacement& placement, void (Form::*click)(), int id = 0) {
    return AddCommandControl(parent, className, text, style, placement, static_cast<TClick>(click), id);
  }
  // A menu item that runs click, a handler of the form's, when it is chosen from a menu of this form's.
  template <class Form>
  void AddMenuItem(HMENU menu, const char* text, void (Form::*click)()) {
    AppendMenuA(menu, MF_STRING, AddMenuCommand(static_cast<TClick>(click)), text);
  }
  // A control's new width; the rest of its placement stays.
  void SetControlWidth(HWND control, int width);
  // Places every control for its parent's size and the DPI, parents before their children.
  void LayOut();
  HFONT Font() const { return font_.Get(); }

  virtual void FormShow() {}
  virtual void FormClose() {}
  // Once a modal showing is on the screen and painted, and the user has not yet acted.
  virtual void FormShown() {}
  // Called after the controls were placed and given the font of a new DPI.
  virtual void DpiChanged() {}
  // The form's window procedure; an override leaves what it does not handle to this one.
  virtual LRESULT HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  using TClick = void (TForm::*)();
  // What a control or menu item runs, by the id it sends; a control runs it only while enabled.
  struct TCommand {
    int Id;
    TClick Click;
    HWND Control;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND MakeControl(HWND parent, const char* className, const char* text, DWORD style,
                   const TPlacement& placement, int id, DWORD exStyle);
  HWND AddCommandControl(HWND parent, const char* className, const char* text, DWORD style,
                         const TPlacement& placement, TClick click, int id);
  // A free id that runs click; for a menu item.
  int AddMenuCommand(TClick click);
  // Runs the command of id; false when there is none.
  bool RunCommand(int id);
  void ApplyDpi(int dpi);
  // Gives the window this outer size, or as much as fits, centred on its screen.
  void Place(int width, int height);
  // The control that has the focus as the form stops being active, if any, to be given it back.
  void RememberFocus();
  // Focuses that control if it can still take the focus, else the first tab stop; false for neither.
  bool FocusControl();

  struct TControl {
    HWND Window;
    TPlacement Placement;
  };
  // Where a control of this placement goes in parent now, in its pixels.
  RECT Bounds(HWND parent, const TPlacement& placement) const;
  void PlaceControl(const TControl& control) const;

  // Outlives the window, which the destructor destroys, since its controls use it.
  TFont font_;
  HWND handle_ = nullptr;
  int dpi_ = 96;
  std::vector<TControl> controls_;
  std::vector<TCommand> commands_;
  // The ids that no dialog command (IDOK to IDCONTINUE) has.
  int nextCommandId_ = 100;
  HWND focus_ = nullptr;
  TModalResult modalResult_ = TModalResult::None;
  bool modal_ = false;
  // Close() calls so far: a show event that closed the form keeps it off the screen.
  int timesClosed_ = 0;
};

// The text of a window or control, in the ANSI code page.
std::string WindowText(HWND window);
