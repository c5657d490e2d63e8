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
namespace {

std::size_t SystemCharLength(std::string_view text) {
  // CharNextA stops at a zero, so the character is looked at on its own, terminated.
  const char character[3] = {text[0], text.size() > 1 ? text[1] : '\0', '\0'};
  return static_cast<std::size_t>(CharNextA(character) - character) > 1 ? 2 : 1;
}

void SystemLowerCase(std::string& text) {
  if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
}

}  // namespace

const TCodePage& SystemCodePage() {
  static constexpr TCodePage System{SystemCharLength, SystemLowerCase};
  return System;
}

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
  const std::size_t separator = path.find_last_of(L"\\/");
  const std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
  if (name.empty()) return {};
  const int wide = static_cast<int>(name.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, name.data(), wide, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, name.data(), wide, text.data(), size, nullptr, nullptr);
  return text;
}
#endif
