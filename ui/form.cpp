#include "ui/form.h"

#include <algorithm>

#include "ui/disabled_windows.h"
#include "ui/error.h"
#include "ui/screen_place.h"
#include "ui/window_class.h"
#include "win32/system_library.h"

namespace {

int WindowDpi(HWND window) {
  const UINT dpi = GetDpiForWindow(window);
  return dpi ? static_cast<int>(dpi) : 96;
}

}  // namespace

void TForm::Register() {
  RegisterWindowClass(ClassName, WindowProc, IDC_ARROW,
                      LoadIconA(Application.Instance(), MAKEINTRESOURCEA(1)));
}

TForm::~TForm() {
  if (handle_) DestroyWindow(handle_);
}

void TForm::CreateForm(const char* caption, const TGeometry& geometry) {
  const DWORD exStyle = geometry.ExStyle | WS_EX_CONTROLPARENT;
  if (!CreateWindowExA(exStyle, ClassName, caption, geometry.Style, 0, 0, geometry.Width, geometry.Height,
                       nullptr, nullptr, Application.Instance(), this))
    RaiseLastError(std::string("CreateWindowEx ") + caption);
  ApplyDpi(WindowDpi(handle_));
  RECT bounds{0, 0, Scale(geometry.Width), Scale(geometry.Height)};
  if (geometry.ClientSize) AdjustWindowRectExForDpi(&bounds, geometry.Style, FALSE, exStyle, dpi_);
  Place(bounds.right - bounds.left, bounds.bottom - bounds.top);
}

void TForm::CenterOnScreen() {
  RECT bounds{};
  GetWindowRect(handle_, &bounds);
  Place(bounds.right - bounds.left, bounds.bottom - bounds.top);
}

void TForm::Place(int width, int height) { PlaceOnScreen(handle_, handle_, width, height); }

HWND TForm::AddControl(HWND parent, const char* className, const char* text, DWORD style,
                       const TPlacement& placement, DWORD exStyle) {
  return MakeControl(parent, className, text, style, placement, 0, exStyle);
}

HWND TForm::AddCommandControl(HWND parent, const char* className, const char* text, DWORD style,
                              const TPlacement& placement, TClick click, int id) {
  if (!id) id = nextCommandId_++;
  HWND control = MakeControl(parent, className, text, style, placement, id, 0);
  commands_.push_back({id, click, control});
  return control;
}

int TForm::AddMenuCommand(TClick click) {
  const int id = nextCommandId_++;
  commands_.push_back({id, click, nullptr});
  return id;
}

bool TForm::RunCommand(int id) {
  const auto command = std::ranges::find(commands_, id, &TCommand::Id);
  if (command == commands_.end()) return false;
  // Enter reaches the default button even while it is disabled.
  if (!command->Control || IsWindowEnabled(command->Control)) (this->*command->Click)();
  return true;
}

HWND TForm::MakeControl(HWND parent, const char* className, const char* text, DWORD style,
                        const TPlacement& placement, int id, DWORD exStyle) {
  const RECT b = Bounds(parent, placement);
  HWND control =
      CreateWindowExA(exStyle, className, text, style | WS_CHILD | WS_VISIBLE, b.left, b.top,
                      b.right - b.left, b.bottom - b.top, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Application.Instance(), nullptr);
  if (!control) RaiseLastError(std::string("CreateWindowEx ") + className);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  controls_.push_back({control, placement});
  return control;
}

void TForm::SetControlWidth(HWND control, int width) {
  for (auto& c : controls_) {
    if (c.Window != control) continue;
    c.Placement.Width = width;
    PlaceControl(c);
  }
}

void TForm::LayOut() {
  for (const auto& c : controls_) PlaceControl(c);
}

RECT TForm::Bounds(HWND parent, const TPlacement& p) const {
  RECT client{};
  GetClientRect(parent, &client);
  int left = Scale(p.Left);
  int width = Scale(p.Width);
  if (p.Anchor == TAnchor::Right) left = client.right - Scale(p.Right) - width;
  if (p.Anchor == TAnchor::LeftAndRight) width = client.right - Scale(p.Right) - left;
  return {left, Scale(p.Top), left + width, Scale(p.Top) + Scale(p.Height)};
}

void TForm::PlaceControl(const TControl& c) const {
  const RECT b = Bounds(GetParent(c.Window), c.Placement);
  SetWindowPos(c.Window, nullptr, b.left, b.top, b.right - b.left, b.bottom - b.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::ApplyDpi(int dpi) {
  dpi_ = dpi;
  TFont font(CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
  for (const auto& c : controls_)
    SendMessageA(c.Window, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  // The old font goes only now that no control uses it.
  font_ = std::move(font);
  LayOut();
}

void TForm::Show() {
  if (Visible()) return;
  const int timesClosed = timesClosed_;
  FormShow();
  if (timesClosed_ != timesClosed) return;
  PrepareFirstWindow();
  focus_ = nullptr;
  ShowWindow(handle_, SW_SHOW);
}

void TForm::Hide() { ShowWindow(handle_, SW_HIDE); }

void TForm::Close() {
  ++timesClosed_;
  FormClose();
  if (modal_) {
    modalResult_ = TModalResult::Cancel;
    return;
  }
  Hide();
  if (Application.MainForm() == this) Application.Terminate();
}

TModalResult TForm::ShowModal() {
  if (Application.Terminated()) {
    modalResult_ = TModalResult::Cancel;
    return modalResult_;
  }
  modalResult_ = TModalResult::None;
  // Declared before the other windows' guard, so that they are enabled again before this one hides: the
  // activation then goes back to them.
  struct TModalScope {
    TForm& Form;
    ~TModalScope() {
      ShowWindow(Form.handle_, SW_HIDE);
      Form.modal_ = false;
    }
  } scope{*this};
  modal_ = true;
  const TDisabledWindows others(handle_);

  FormShow();
  // Wherever the user moved it last time, a dialog comes back in the middle of the screen.
  CenterOnScreen();
  // On the screen first, then activated: what the first activation loads comes after the form shows.
  ShowWindow(handle_, SW_SHOWNA);
  PrepareFirstWindow();
  focus_ = nullptr;
  SetForegroundWindow(handle_);
  FocusControl();

  bool shown = false;
  while (modalResult_ == TModalResult::None) {
    // Nothing waiting, not even painting: the form is on the screen as the user sees it.
    if (MSG waiting; !shown && !PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) {
      shown = true;
      FormShown();
      continue;
    }
    if (!Application.PumpMessage(true)) modalResult_ = TModalResult::Cancel;
  }
  return modalResult_;
}

void TForm::SetCaption(const std::string& caption) { SetWindowTextA(handle_, caption.c_str()); }

std::string TForm::Caption() const { return WindowText(handle_); }

std::string WindowText(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void TForm::RememberFocus() {
  HWND focus = GetFocus();
  focus_ = focus && IsChild(handle_, focus) ? focus : nullptr;
}

bool TForm::FocusControl() {
  HWND control = focus_;
  if (!control || !IsChild(handle_, control) || !IsWindowVisible(control) || !IsWindowEnabled(control))
    control = GetNextDlgTabItem(handle_, nullptr, FALSE);
  if (!control) return false;
  // From no window at all, by way of the frame: Wine reports no focus that comes from nowhere
  // (EVENT_OBJECT_FOCUS), and a screen reader would not hear of it.
  if (!GetFocus()) SetFocus(handle_);
  SetFocus(control);
  return true;
}

LRESULT TForm::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    // As a dialog does: the focus goes back to the control that had it, not to the frame.
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE)
        RememberFocus();
      else if (!HIWORD(wParam) && FocusControl())
        return 0;
      break;
    case WM_SETFOCUS:
      if (FocusControl()) return 0;
      break;
    case WM_CLOSE:
      Close();
      return 0;
    case WM_COMMAND:
      // A control's click, a menu item, Enter and Escape all come with 0 (BN_CLICKED, STN_CLICKED).
      if (HIWORD(wParam) == 0 && RunCommand(LOWORD(wParam))) return 0;
      break;
    case WM_SETCURSOR:
      if (Application.Busy()) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_SIZE:
      LayOut();
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(handle_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      DpiChanged();
      return 0;
    }
  }
  return DefWindowProcA(handle_, message, wParam, lParam);
}

LRESULT CALLBACK TForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    form->handle_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  if (!form) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    form->handle_ = nullptr;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return CallbackBarrier([&] { return form->HandleWindowMessage(message, wParam, lParam); }, LRESULT{0});
}
