#include "win32/code_page.h"

#include <windows.h>

#include <climits>
#include <new>
#include <stdexcept>

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
