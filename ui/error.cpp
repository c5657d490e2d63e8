#include "ui/error.h"

#include <windows.h>

#include <system_error>

#include "ui/message.h"

void RaiseLastError(const std::string& what) {
  throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

void ShowError(const char* text) noexcept {
  try {
    ShowMessage(text);
  } catch (...) {
    // Not even that could be shown (memory ran out): the call still ends here.
  }
}
