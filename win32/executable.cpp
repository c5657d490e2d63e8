#include "win32/executable.h"

#ifdef _WIN32
#include <windows.h>
#endif

std::string_view FileNameOf(std::string_view path, const TCodePage& codePage) {
  std::size_t name = 0;
  for (std::size_t at = 0; at < path.size(); at += codePage.CharLength(path.substr(at)))
    if (path[at] == '\\' || path[at] == '/') name = at + 1;
  return path.substr(name);
}

#ifdef _WIN32
std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::string ExecutableFileName() {
  const std::wstring path = ExecutablePath();
  return AnsiText(std::wstring_view(path).substr(path.find_last_of(L"\\/") + 1));
}
#endif
