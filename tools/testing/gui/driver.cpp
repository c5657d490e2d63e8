#include "tools/testing/gui/driver.h"

#include <algorithm>

#include "credentials/credentials_store.h"
#include "ui/accessible.h"

namespace gui {

namespace {

// Long enough for a busy machine, short enough that a program that hangs fails the step, not the run.
constexpr UINT AnswerTimeoutMs = 5000;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const char* what) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, AnswerTimeoutMs, &result))
    throw EStepFailed(std::string("the window did not answer: ") + what);
  return static_cast<LRESULT>(result);
}

// Caption of a top-level window without a message to it, so that a busy program cannot hold the search up.
std::string Caption(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

std::string OfProcess(DWORD pid) { return pid ? " of process " + std::to_string(pid) : ""; }

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid) {
  struct TCollect {
    DWORD Pid;
    std::vector<HWND> Found;
  } collect{pid, {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& c = *reinterpret_cast<TCollect*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (!c.Pid || owner == c.Pid) c.Found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&collect));
  return collect.Found;
}

HWND FindVisible(const std::string& caption, DWORD pid, bool prefix) {
  const auto ofProcess = [pid](HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return !pid || owner == pid;
  };
  if (!prefix) {
    // The window system picks the caption out itself: cheap enough to poll every millisecond.
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, nullptr, caption.c_str()));)
      if (ofProcess(window) && IsWindowVisible(window)) return window;
    return nullptr;
  }
  for (HWND window : TopLevelWindows(pid))
    if (IsWindowVisible(window) && Caption(window).starts_with(caption)) return window;
  return nullptr;
}

HWND Window(const std::string& caption, DWORD pid, TDuration timeout) {
  HWND found = nullptr;
  Await(
      "a window " + Quoted(caption) + OfProcess(pid) + " shows",
      [&] { return (found = FindVisible(caption, pid)) != nullptr; }, timeout);
  return found;
}

HWND WindowPrefix(const std::string& prefix, DWORD pid, TDuration timeout) {
  HWND found = nullptr;
  Await(
      "a window " + Quoted(prefix + "...") + OfProcess(pid) + " shows",
      [&] { return (found = FindVisible(prefix, pid, true)) != nullptr; }, timeout);
  return found;
}

std::vector<HWND> Controls(HWND parent, const char* className) {
  struct TCollect {
    const char* ClassName;
    std::vector<HWND> Found;
  } collect{className, {}};
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM data) -> BOOL {
        auto& c = *reinterpret_cast<TCollect*>(data);
        if (lstrcmpiA(ClassOf(window).c_str(), c.ClassName) == 0) c.Found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&collect));
  return collect.Found;
}

HWND Control(HWND parent, const char* className, std::size_t index) {
  const auto all = Controls(parent, className);
  if (index >= all.size())
    throw EStepFailed("no " + std::string(className) + " " + std::to_string(index) + " in " +
                      Quoted(Caption(parent)));
  return all[index];
}

std::string Text(HWND window) {
  char text[4096] = {};
  Send(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), "WM_GETTEXT");
  return text;
}

void SetText(HWND control, const std::string& text) {
  Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), "WM_SETTEXT");
}

bool Checked(HWND checkBox) { return Send(checkBox, BM_GETCHECK, 0, 0, "BM_GETCHECK") == BST_CHECKED; }

void SetChecked(HWND checkBox, bool checked) {
  Send(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0, "BM_SETCHECK");
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

void PressKey(HWND control, WPARAM key) {
  PostMessageA(control, WM_KEYDOWN, key, 0);
  PostMessageA(control, WM_KEYUP, key, 0xC0000000);
}

std::string DismissMessageBox(const std::string& caption, DWORD pid, TBoxLook look, int press) {
  HWND box = nullptr;
  Await("a message box " + Quoted(caption) + OfProcess(pid) + " shows", [&] {
    box = FindVisible(caption, pid);
    return box && ClassOf(box) == "#32770";
  });
  std::string text = MessageBoxText(box);
  // Buttons found by their identifiers: the system names them in its own language.
  const bool retry = look == TBoxLook::RetryCancel;
  std::vector<int> expected = retry ? std::vector{IDCANCEL, IDRETRY} : std::vector{IDOK};
  std::vector<int> found;
  HWND pressed = nullptr;
  for (HWND button : Controls(box, "Button")) {
    found.push_back(GetDlgCtrlID(button));
    if (found.back() == press) pressed = button;
  }
  std::sort(found.begin(), found.end());
  if (found != expected || !pressed)
    throw EStepFailed("the message box " + Quoted(text) + " has other buttons than " +
                      (retry ? "Retry and Cancel" : "one OK") + ", or none to press");
  for (HWND label : Controls(box, "Static"))
    if (look == TBoxLook::Plain && Send(label, STM_GETICON, 0, 0, "STM_GETICON"))
      throw EStepFailed("the message box " + Quoted(text) + " shows an icon");
  if (look == TBoxLook::Plain && !Centred(box))
    throw EStepFailed("the message box " + Quoted(text) + " is not in the middle of the screen");
  Click(pressed);
  Await("the message box " + Quoted(text) + " goes when it is pressed",
        [&] { return !IsWindowVisible(box); });
  return text;
}

bool Centred(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r.left == (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2 &&
         r.top == (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
}

std::string MessageBoxText(HWND box) {
  // The icon is a static control too, without text.
  std::string text;
  for (HWND label : Controls(box, "Static"))
    if (std::string t = Text(label); !t.empty()) text = std::move(t);
  return text;
}

TFocus FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return {};
  return {info.hwndActive, info.hwndFocus};
}

void AwaitFocus(HWND window, HWND control) {
  if (WaitUntil([&] { return FocusOf(window) == TFocus{window, control}; })) return;
  const auto name = [](HWND w) {
    return w ? ClassOf(w) + ' ' + Quoted(Caption(w)) + " #" + std::to_string(reinterpret_cast<UINT_PTR>(w))
             : std::string("none");
  };
  const TFocus now = FocusOf(window);
  throw EStepFailed(Quoted(Caption(window)) + " is active with the focus on " + name(control) +
                    "; active is " + name(now.Active) + ", the focus on " + name(now.Focus));
}

void SwitchAwayAndBack(HWND window) {
  // The desktop takes it: a window of this process would have to go again, and under Wine the front then
  // moves on by the X server's own way, which now and then took it from window again later.
  SetForegroundWindow(GetDesktopWindow());
  Await("another window takes the front", [&] { return FocusOf(window).Active != window; });
  SetForegroundWindow(window);
  Await("the window is active again", [&] { return FocusOf(window).Active == window; });
}

TComPtr<IAccessible> ClientObject(HWND window) {
  EnsureComApartment();
  TComPtr<IAccessible> object;
  AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), AccessibleInterface,
                             reinterpret_cast<void**>(object.Put()));
  if (!object) throw EStepFailed("no accessible object for " + Quoted(Caption(window)));
  return object;
}

std::wstring Taken(BSTR text) {
  std::wstring taken = text ? text : L"";
  SysFreeString(text);
  return taken;
}

bool InMenuMode(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMENUMODE) != 0;
}

void ChooseFromPopup(HWND button, int index, const std::string& item, const std::function<bool()>& effect) {
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(button, &pid);
  const std::string name = Quoted(item);
  if (InMenuMode(thread)) throw EStepFailed("a menu was already open before choosing " + name);
  // The menu opens with its corner at the mouse pointer, which stays in the middle of the screen, away from
  // the button. Xvfb keeps it there (and puts it back whenever its last client has gone); setting it there
  // makes Wine's own idea of it agree without moving the display's pointer, whose motion the program would
  // learn of only some time later.
  const POINT pointer{GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
  RECT b{};
  GetWindowRect(button, &b);
  if (PtInRect(&b, pointer)) throw EStepFailed("the mouse pointer is on the button of " + name);
  SetCursorPos(pointer.x, pointer.y);
  Click(button);
  // Keys that arrive before the menu loop runs would go to the program's own loop and be lost.
  Await("the menu opens to choose " + name, [&] { return InMenuMode(thread); });
  RECT menu{-1, -1, -1, -1};
  const auto at = [](LONG x, LONG y) { return " (" + std::to_string(x) + ", " + std::to_string(y) + ")"; };
  if (!WaitUntil([&] {
        for (HWND window : TopLevelWindows(pid))
          if (ClassOf(window) == "#32768" && IsWindowVisible(window) && GetWindowRect(window, &menu))
            return menu.left == pointer.x && menu.top == pointer.y;
        return false;
      })) {
    POINT now{};
    GetCursorPos(&now);
    throw EStepFailed("the menu to choose " + name + " opens at the mouse pointer" +
                      at(pointer.x, pointer.y) + ", not at" + at(menu.left, menu.top) +
                      "; the pointer is at" + at(now.x, now.y) +
                      (InMenuMode(thread) ? "" : ", and the menu loop has ended"));
  }
  // The menu loop reads every key of the thread's queue, whichever window it was posted to.
  for (int i = 0; i <= index; ++i) PressKey(button, VK_DOWN);
  PressKey(button, VK_RETURN);
  if (!WaitUntil([&] { return !InMenuMode(thread); })) {
    PressKey(button, VK_ESCAPE);
    throw EStepFailed("the menu stayed open after choosing " + name);
  }
  Await("choosing " + name + " had its effect after the menu closed", effect);
}

std::string WindowsPath(std::string path) {
  if (!path.starts_with("/")) return path;
  for (auto& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

bool EndWindowsSession() {
  const TProgram wineboot("wineboot.exe", "--end-session");
  return WaitUntil([&] { return !wineboot.Running(); }, 30s);
}

TProgram::TProgram(const std::string& path, const std::string& arguments) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string command = Quoted(WindowsPath(path));
  if (!arguments.empty()) command += ' ' + arguments;
  startedAt_ = std::chrono::steady_clock::now();
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info_))
    throw EStepFailed("cannot start " + command + " (error " + std::to_string(GetLastError()) + ")");
}

TProgram::~TProgram() {
  if (Running()) TerminateProcess(info_.hProcess, 99);
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
}

bool TProgram::Running() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }

long TProgram::ExitCode(TDuration timeout) const {
  if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    throw EStepFailed("process " + std::to_string(Pid()) + " did not end");
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<long>(code);
}

TFields TSignInDialog::Shown() const {
  return {Text(UserEdit()), Text(PasswordEdit()), Checked(RememberMe())};
}

void TSignInDialog::Type(const TFields& fields) const {
  SetText(UserEdit(), fields.User);
  SetText(PasswordEdit(), fields.Password);
  SetChecked(RememberMe(), fields.Remember);
}

void TSignInDialog::SignIn(const std::string& user, const std::string& password) const {
  SetText(UserEdit(), user);
  SetText(PasswordEdit(), password);
  Click(LogIn());
}

void TSignInDialog::AwaitReady() const {
  Await("\"Log In\" is usable again", [&] { return IsWindowEnabled(LogIn()) != FALSE; });
  if (!IsWindowVisible(window_)) throw EStepFailed("the sign-in dialog closed");
}

std::vector<std::string> TMainWindow::Labels() const {
  return {Text(Control(window_, "Static", 0)), Text(Control(window_, "Static", 1))};
}

void TMainWindow::LogOut() const {
  ChooseFromPopup(ToolsButton(), 0, "Log Out", [&] { return !IsWindowVisible(window_); });
}

void TMainWindow::Exit(const TProgram& program) const {
  ChooseFromPopup(ToolsButton(), 1, "Exit", [&] { return !program.Running(); });
}

void ForgetRememberedCredentials() {
  const std::string path(CredentialsKeyPath);
  for (const std::string_view name : {UsernameValueName, PasswordValueName})
    RegDeleteKeyValueA(HKEY_CURRENT_USER, path.c_str(), std::string(name).c_str());
}

TSignInDialog AwaitSignInDialog(DWORD pid, TDuration timeout) {
  return TSignInDialog(Window(SignInCaption, pid, timeout));
}

TMainWindow AwaitMainWindow(DWORD pid, TDuration timeout) {
  return TMainWindow(WindowPrefix(MainCaptionPrefix, pid, timeout));
}

}  // namespace gui
