#include "win32/executable.h"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#include <new>
#include <stdexcept>
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

std::string AnsiText(std::wstring_view text) {
  std::string result;
  if (text.empty()) return result;
  if (text.size() > INT_MAX) throw std::bad_alloc();
  const int wide = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw std::runtime_error("character conversion");
  result.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_ACP, 0, text.data(), wide, result.data(), size, nullptr, nullptr);
  return result;
}

std::string ExecutableFileName() {
  const std::wstring path = ExecutablePath();
  return AnsiText(std::wstring_view(path).substr(path.find_last_of(L"\\/") + 1));
}
#endif
