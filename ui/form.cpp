#include "session/form.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>

#include "session/link_label.h"
#include "session/message.h"

TApplication Application;

namespace {

constexpr char FormClassName[] = "QuillonForm";
constexpr char PanelClassName[] = "QuillonPanel";

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_SETCURSOR:
      if (message != WM_SETCURSOR || Application.Busy())
        return SendMessageA(GetParent(window), message, wParam, lParam);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterPanelClass(HINSTANCE instance) {
  WNDCLASSEXA panel{};
  panel.cbSize = sizeof panel;
  panel.lpfnWndProc = PanelProc;
  panel.hInstance = instance;
  panel.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  panel.lpszClassName = PanelClassName;
  RegisterClassExA(&panel);
}

int WindowDpi(HWND window) {
  const UINT dpi = GetDpiForWindow(window);
  return dpi ? static_cast<int>(dpi) : 96;
}

}  // namespace

// ---- TApplication

void TApplication::Initialize(HINSTANCE instance) {
  instance_ = instance;
  // The manifest asks for this already; a program without it (a test) gets the same layout rules.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterPanelClass(instance);
  TLinkLabel::Register(instance);
}

void TApplication::Finalize() {
  mainForm_ = nullptr;
  while (!forms_.empty()) forms_.pop_back();
  if (comInitialized_) CoUninitialize();
  comInitialized_ = false;
}

int TApplication::Run() {
  if (mainForm_) mainForm_->Show();
  MSG message;
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
    if (!PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  terminated_ = true;
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Leave it for the loop that owns it.
      terminated_ = true;
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

bool TApplication::PreTranslate(MSG& message) {
  if (!message.hwnd) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  char className[32];
  if (!root || !GetClassNameA(root, className, sizeof className) || lstrcmpA(className, FormClassName) != 0)
    return false;
  return IsDialogMessageA(root, &message);
}

void TApplication::SetBusy(bool busy) {
  busy_ = busy;
  SetCursor(LoadCursorA(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

// ---- TForm

TForm::~TForm() {
  if (handle_) DestroyWindow(handle_);
  if (font_) DeleteObject(font_);
}

void TForm::CreateForm(const char* caption, const Geometry& geometry) {
  geometry_ = geometry;
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExA(Application.Instance(), FormClassName, &existing)) {
    WNDCLASSEXA form{};
    form.cbSize = sizeof form;
    form.lpfnWndProc = WindowProc;
    form.hInstance = Application.Instance();
    form.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.hIcon = LoadIconA(Application.Instance(), MAKEINTRESOURCEA(1));
    form.lpszClassName = FormClassName;
    RegisterClassExA(&form);
  }
  CreateWindowExA(geometry.exStyle | WS_EX_CONTROLPARENT, FormClassName, caption, geometry.style, 0, 0,
                  geometry.width, geometry.height, nullptr, nullptr, Application.Instance(), this);
  ApplyDpi(WindowDpi(handle_));

  RECT bounds{0, 0, Scale(geometry.width), Scale(geometry.height)};
  if (geometry.clientSize)
    AdjustWindowRectExForDpi(&bounds, geometry.style, FALSE, geometry.exStyle | WS_EX_CONTROLPARENT, dpi_);
  Place(bounds.right - bounds.left, bounds.bottom - bounds.top);
}

void TForm::CenterOnScreen() {
  RECT bounds{};
  GetWindowRect(handle_, &bounds);
  Place(bounds.right - bounds.left, bounds.bottom - bounds.top);
}

void TForm::Place(int width, int height) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(handle_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& screen = monitor.rcMonitor;
  SetWindowPos(handle_, nullptr, screen.left + (screen.right - screen.left - width) / 2,
               screen.top + (screen.bottom - screen.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND TForm::AddControl(HWND parent, const char* className, const char* text, DWORD style, int left, int top,
                       int width, int height, int id, DWORD exStyle) {
  HWND control =
      CreateWindowExA(exStyle, className, text, style | WS_CHILD | WS_VISIBLE, Scale(left), Scale(top),
                      Scale(width), Scale(height), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                      Application.Instance(), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  placements_.push_back({control, {left, top, left + width, top + height}});
  return control;
}

void TForm::MoveControl(HWND control, int left, int top, int width, int height) {
  for (auto& placement : placements_) {
    if (placement.control == control) placement.bounds = {left, top, left + width, top + height};
  }
  SetWindowPos(control, nullptr, Scale(left), Scale(top), Scale(width), Scale(height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::ApplyDpi(int dpi) {
  dpi_ = dpi;
  HFONT old = font_;
  font_ = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                      "MS Sans Serif");
  for (const auto& placement : placements_) {
    const RECT& b = placement.bounds;
    SetWindowPos(placement.control, nullptr, Scale(b.left), Scale(b.top), Scale(b.right - b.left),
                 Scale(b.bottom - b.top), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(placement.control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  }
  if (old) DeleteObject(old);
}

void TForm::Show() {
  if (Visible()) return;
  const int closes = closes_;
  FormShow();
  if (closes_ == closes) ShowWindow(handle_, SW_SHOW);
}

void TForm::Hide() { ShowWindow(handle_, SW_HIDE); }

void TForm::Close() {
  ++closes_;
  FormClose();
  if (modal_) {
    modalResult_ = TModalResult::Cancel;
    return;
  }
  Hide();
  if (IsMainForm()) Application.Terminate();
}

TModalResult TForm::ShowModal() {
  if (Application.Terminated()) {
    modalResult_ = TModalResult::Cancel;
    return modalResult_;
  }
  modalResult_ = TModalResult::None;
  modal_ = true;

  // Every other window of the program waits while this one is up.
  std::vector<HWND> disabled;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&disabled));
  std::erase_if(disabled, [this](HWND window) {
    return window == handle_ || !IsWindowVisible(window) || !IsWindowEnabled(window);
  });
  for (HWND window : disabled) EnableWindow(window, FALSE);

  FormShow();
  // Wherever the user moved it last time, a dialog comes back in the middle of the screen.
  CenterOnScreen();
  ShowWindow(handle_, SW_SHOW);
  SetForegroundWindow(handle_);
  if (HWND first = GetNextDlgTabItem(handle_, nullptr, FALSE)) SetFocus(first);

  while (modalResult_ == TModalResult::None) {
    MSG message;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) {
        // The quit message belongs to the application's loop: leave it there.
        PostQuitMessage(static_cast<int>(message.wParam));
        Application.Terminate();
      }
      modalResult_ = TModalResult::Cancel;
      break;
    }
    if (!Application.PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  for (HWND window : disabled) EnableWindow(window, TRUE);
  ShowWindow(handle_, SW_HIDE);
  modal_ = false;
  return modalResult_;
}

void TForm::SetCaption(const std::string& caption) { SetWindowTextA(handle_, caption.c_str()); }

std::string TForm::Caption() const { return WindowText(handle_); }

std::string WindowText(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SETCURSOR:
      if (Application.Busy()) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_SIZE:
      FormResize();
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
  // An error must not unwind through the system's frames: it ends the handler and is told to the user.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    ShowMessage(error.what());
  } catch (...) {
    ShowMessage("Unexpected error");
  }
  return 0;
}

HWND CreatePanel(HWND parent) {
  return CreateWindowExA(WS_EX_CONTROLPARENT, PanelClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                         nullptr, Application.Instance(), nullptr);
}
