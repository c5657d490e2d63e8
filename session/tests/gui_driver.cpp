#include "session/tests/gui_driver.h"

namespace gui {

namespace {

struct Search {
  std::string caption;
  bool prefix;
  DWORD pid;
  HWND found = nullptr;
};

HWND FindTopLevel(const std::string& caption, bool prefix, DWORD pid) {
  Search search{caption, prefix, pid};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(data);
        if (!IsWindowVisible(window)) return TRUE;
        if (s.pid) {
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner != s.pid) return TRUE;
        }
        const std::string text = Text(window);
        if (s.prefix ? text.starts_with(s.caption) : text == s.caption) {
          s.found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

HWND WaitForWindow(const std::string& caption, DWORD pid, std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopLevel(caption, false, pid)) != nullptr; }, timeout);
  return found;
}

HWND WaitForWindowPrefix(const std::string& prefix, DWORD pid, std::chrono::milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindTopLevel(prefix, true, pid)) != nullptr; }, timeout);
  return found;
}

std::vector<HWND> Controls(HWND parent, const char* className) {
  struct Collect {
    const char* className;
    std::vector<HWND> found;
  } collect{className, {}};
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM data) -> BOOL {
        auto& c = *reinterpret_cast<Collect*>(data);
        char name[64] = {};
        GetClassNameA(window, name, sizeof name);
        if (lstrcmpiA(name, c.className) == 0) c.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&collect));
  return collect.found;
}

HWND Control(HWND parent, const char* className, std::size_t index) {
  const auto all = Controls(parent, className);
  return index < all.size() ? all[index] : nullptr;
}

std::string Text(HWND window) {
  char text[4096] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                      &ignored);
  return text;
}

void SetText(HWND control, const std::string& text) {
  SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

bool Checked(HWND checkBox) { return SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND checkBox, bool checked) {
  SendMessageA(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::optional<std::string> DismissMessageBox(const std::string& caption, DWORD pid,
                                             std::chrono::milliseconds timeout) {
  HWND box = nullptr;
  const bool found = WaitUntil(
      [&] {
        box = FindTopLevel(caption, false, pid);
        char name[16] = {};
        return box && GetClassNameA(box, name, sizeof name) && lstrcmpA(name, "#32770") == 0;
      },
      timeout);
  if (!found) return std::nullopt;
  std::string text;
  for (HWND label : Controls(box, "Static")) {
    const std::string t = Text(label);
    if (!t.empty()) text = t;
  }
  for (HWND button : Controls(box, "Button")) {
    if (Text(button) == "OK") {
      Click(button);
      WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5s);
      return text;
    }
  }
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return text;
}

void ChooseFromPopup(HWND button, int index) {
  Click(button);
  HWND menu = nullptr;
  WaitUntil([&] {
    menu = FindWindowA("#32768", nullptr);
    return menu && IsWindowVisible(menu);
  });
  // The menu's own loop reads the keyboard: move down to the item, skipping separators, and choose it.
  for (int i = 0; i <= index; ++i) {
    PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    Sleep(30);
  }
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
}

std::string WindowsPath(std::string path) {
  if (!path.starts_with("/")) return path;
  for (auto& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

Program::Program(const std::string& path) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string command;
  command += '"';
  command += WindowsPath(path);
  command += '"';
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info_))
    info_ = {};
}

Program::~Program() {
  if (!info_.hProcess) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
  CloseHandle(info_.hProcess);
  CloseHandle(info_.hThread);
}

long Program::ExitCode(std::chrono::milliseconds wait) const {
  if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(wait.count())) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<long>(code);
}

}  // namespace gui
