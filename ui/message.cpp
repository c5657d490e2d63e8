#include "ui/message.h"

#include "win32/executable.h"

#ifdef _WIN32
#include <windows.h>

#include "ui/disabled_windows.h"
#include "ui/screen_place.h"
#include "win32/system_library.h"
#endif

std::string ApplicationTitle(std::string_view executablePath, const TCodePage& codePage) {
  const std::string_view name = FileNameOf(executablePath, codePage);
  std::size_t end = 0;
  while (end < name.size() && name[end] != '.') end += codePage.CharLength(name.substr(end));
  if (end == 0) return {};
  const std::size_t first = codePage.CharLength(name);
  std::string rest(name.substr(first, end - first));
  codePage.LowerCase(rest);
  return std::string(name.substr(0, first)) + rest;
}

#ifdef _WIN32
namespace {

// The window that a message box belongs to: the thread's active window, or else its first visible and
// usable one (the user may be in another program meanwhile); null when none is on the screen.
HWND MessageOwner() {
  if (HWND active = GetActiveWindow(); active && IsWindowVisible(active)) return active;
  const std::vector<HWND> usable = UsableWindows();
  return usable.empty() ? nullptr : usable.front();
}

// Where the system puts an owned box is not written down; this one goes where the forms go, on its
// owner's screen, once it is made and before it shows. The hook is the thread's own and lives on the owner
// until then.
class TCenteredBox {
 public:
  explicit TCenteredBox(HWND owner) : owner_(owner) {
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROCRET, Called, nullptr, GetCurrentThreadId());
    if (hook && !SetPropA(owner, Property, hook)) UnhookWindowsHookEx(hook);
  }
  ~TCenteredBox() {
    if (auto* hook = static_cast<HHOOK>(RemovePropA(owner_, Property))) UnhookWindowsHookEx(hook);
  }
  TCenteredBox(const TCenteredBox&) = delete;
  TCenteredBox& operator=(const TCenteredBox&) = delete;

 private:
  static constexpr char Property[] = "QuillonBoxHook";

  static LRESULT CALLBACK Called(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (HWND owner =
            code == HC_ACTION && call->message == WM_INITDIALOG ? GetWindow(call->hwnd, GW_OWNER) : nullptr) {
      if (auto* hook = static_cast<HHOOK>(RemovePropA(owner, Property))) {
        UnhookWindowsHookEx(hook);
        RECT box{};
        GetWindowRect(call->hwnd, &box);
        PlaceOnScreen(call->hwnd, owner, box.right - box.left, box.bottom - box.top);
      }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  HWND owner_;
};

}  // namespace

void ShowMessage(const std::string& text) {
  PrepareFirstWindow();
  const std::string title = ApplicationTitle(ExecutableFileName(), SystemCodePage());
  HWND owner = MessageOwner();
  if (!owner) {
    // Task-modal: whatever window of the program comes up meanwhile waits for it.
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_TASKMODAL);
    return;
  }
  // The box disables its owner alone, and gives the owner the activation back as it closes, before the
  // other windows are usable again.
  const TDisabledWindows others(owner);
  const TCenteredBox centered(owner);
  MessageBoxA(owner, text.c_str(), title.c_str(), MB_OK);
}

#endif
