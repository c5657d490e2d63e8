#include "ui/message.h"

#ifdef _WIN32
#include <windows.h>

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
void ShowMessage(const std::string& text) {
  PrepareFirstWindow();
  // No owner: the box is centred on the screen; task-modal: every window of the program waits for it.
  MessageBoxA(nullptr, text.c_str(), ApplicationTitle(ExecutableFileName(), SystemCodePage()).c_str(),
              MB_OK | MB_TASKMODAL);
}
#endif
