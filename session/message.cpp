#include "session/message.h"

#include "service/executable.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::string ApplicationTitle(std::string_view executablePath) {
  std::string_view name = FileNameOf(executablePath);
  name = name.substr(0, name.find('.'));
  std::string title(name);
  for (std::size_t i = 1; i < title.size(); ++i) {
    if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
  }
  return title;
}

#ifdef _WIN32
void ShowMessage(const std::string& text) {
  // No owner: the box is centred on the screen; task-modal: every window of the program waits for it.
  MessageBoxA(nullptr, text.c_str(), ApplicationTitle(ExecutablePath()).c_str(), MB_OK | MB_TASKMODAL);
}
#endif
