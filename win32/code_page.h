#pragma once

// The system's ANSI code page: what cutting and casing a text needs of it (platform-free, so that the
// host tree tests the rules with code pages of its own), and on Windows the running system's rules and
// the conversion of UTF-16 text into it.

#include <cstddef>
#include <string>
#include <string_view>

// What cutting and casing a text needs of the system's ANSI code page, whose double-byte characters may
// hold bytes such as "\" (0x5C) as their second byte.
struct TCodePage {
  // The byte length of the character that text begins with: 2 for a whole double-byte character, else 1.
  std::size_t (*CharLength)(std::string_view text);
  // Turns every character of text to lower case, in place.
  void (*LowerCase)(std::string& text);
};

#ifdef _WIN32
// The running system's rules (CharNextA, CharLowerBuffA).
const TCodePage& SystemCodePage();

// UTF-16 text in the ANSI code page; a character that the code page lacks becomes its default character.
// Raises an error when the text cannot be converted.
std::string AnsiText(std::wstring_view text);
#endif
