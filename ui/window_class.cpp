#include "ui/window_class.h"

#include <string>

#include "ui/application.h"
#include "ui/error.h"

void RegisterWindowClass(const char* name, WNDPROC procedure, LPCSTR cursor, HICON icon) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = Application.Instance();
  windowClass.hCursor = LoadCursorA(nullptr, cursor);
  windowClass.hIcon = icon;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  if (!RegisterClassExA(&windowClass)) RaiseLastError(std::string("RegisterClassEx ") + name);
}
