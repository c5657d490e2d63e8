#pragma once

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

// The part of a path after its last "\" or "/" character.
std::string_view FileNameOf(std::string_view path, const TCodePage& codePage);

#ifdef _WIN32
// The running system's rules (CharNextA, CharLowerBuffA).
const TCodePage& SystemCodePage();

// Full path of the running program's executable; empty if it cannot be had. In UTF-16: a folder such as
// the user's profile may hold characters that the ANSI code page lacks.
std::wstring ExecutablePath();

// UTF-16 text in the ANSI code page; a character that the code page lacks becomes its default character.
// Raises an error when the text cannot be converted.
std::string AnsiText(std::wstring_view text);

// The executable's file name with its extension, in the ANSI code page: the HTTP user agent, and what the
// application title is cut from.
std::string ExecutableFileName();
#endif
