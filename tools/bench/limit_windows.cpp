#include "tools/bench/limit_windows.h"

namespace limit {

namespace {

constexpr char FormClass[] = "LimitForm";
constexpr char BarClass[] = "LimitBar";
constexpr int ToolsId = 100;
constexpr UINT LogOutId = 201, ExitId = 202;

HINSTANCE Instance;
int Dpi = 96;
HFONT FormFont;
void (*LogInHandler)(HWND);
HWND MainHandle, Bar, Tools;
HMENU ToolsMenu;

void LayOutBar() {
  RECT client;
  GetClientRect(MainHandle, &client);
  SetWindowPos(Bar, nullptr, 0, 0, client.right, Scale(41), SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(Tools, nullptr, client.right - Scale(43) - Scale(8), Scale(8), 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      if (window == MainHandle && Bar) LayOutBar();
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (LogInHandler) LogInHandler(window);
          return 0;
        case IDCANCEL:
        case ExitId:
          DestroyWindow(window);
          return 0;
        case ToolsId: {
          POINT at;
          GetCursorPos(&at);
          SetForegroundWindow(window);
          TrackPopupMenu(ToolsMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window,
                         nullptr);
          PostMessageA(window, WM_NULL, 0, 0);
          return 0;
        }
      }
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The bar's button speaks to the main window.
LRESULT CALLBACK BarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) return SendMessageA(GetParent(window), message, wParam, lParam);
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void Initialize(HINSTANCE programInstance) {
  Instance = programInstance;
  Dpi = static_cast<int>(GetDpiForSystem());
  FormFont = CreateFontA(-MulDiv(8, Dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  WNDCLASSA form{};
  form.lpfnWndProc = FormProc;
  form.hInstance = Instance;
  form.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(1));
  form.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form.lpszClassName = FormClass;
  RegisterClassA(&form);
  WNDCLASSA panel = form;
  panel.lpfnWndProc = BarProc;
  panel.hIcon = nullptr;
  panel.lpszClassName = BarClass;
  RegisterClassA(&panel);
}

int Scale(int pixels) { return MulDiv(pixels, Dpi, 96); }

HFONT Font() { return FormFont; }

void SetLogIn(void (*logIn)(HWND)) { LogInHandler = logIn; }

HWND MakeForm(const char* caption, DWORD style, DWORD exStyle, int width, int height) {
  return CreateWindowExA(
      exStyle | WS_EX_CONTROLPARENT, FormClass, caption, style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
      (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr, nullptr, Instance, nullptr);
}

HWND AddControl(HWND parent, const char* className, const char* text, DWORD style, int left, int top,
                int width, int height, int id, DWORD exStyle) {
  HWND control = CreateWindowExA(exStyle, className, text, style | WS_CHILD | WS_VISIBLE, Scale(left),
                                 Scale(top), Scale(width), Scale(height), parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance, nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(FormFont), FALSE);
  return control;
}

TMainWindow MakeMainWindow(const char* caption) {
  TMainWindow made{};
  made.Window = MainHandle = MakeForm(caption, WS_OVERLAPPEDWINDOW, 0, Scale(763), Scale(563));
  Bar = CreateWindowExA(WS_EX_CONTROLPARENT, BarClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, MainHandle,
                        nullptr, Instance, nullptr);
  made.UserLabel = AddControl(Bar, "STATIC", "", SS_LEFT | SS_NOPREFIX, 8, 8, 1, 13);
  made.AccessLevelLabel = AddControl(Bar, "STATIC", "", SS_LEFT | SS_NOPREFIX, 8, 24, 1, 13);
  Tools = AddControl(Bar, "BUTTON", "Tools", WS_TABSTOP | BS_PUSHBUTTON, 0, 8, 43, 25, ToolsId);
  ToolsMenu = CreatePopupMenu();
  AppendMenuA(ToolsMenu, MF_STRING, LogOutId, "Log Out");
  AppendMenuA(ToolsMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(ToolsMenu, MF_STRING, ExitId, "Exit");
  LayOutBar();
  return made;
}

}  // namespace limit
