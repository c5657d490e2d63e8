#pragma once

// The window layer's errors: a failed Win32 call raised as an error, an error told to the user, and the
// barrier that keeps an error from unwinding through the system's frames.

#include <exception>
#include <string>

// Raises std::system_error with GetLastError() and what failed.
[[noreturn]] void RaiseLastError(const std::string& what);

// Tells the user of an error; never raises one of its own.
void ShowError(const char* text) noexcept;

// The barrier of every callback of the system's that runs code which may raise: an exception that unwound
// through the system's frames would end the process without a word. An error ends the call, is told to
// the user, and the callback returns failed.
template <class Body, class Result>
Result CallbackBarrier(Body&& body, Result failed) noexcept {
  try {
    return body();
  } catch (const std::exception& error) {
    ShowError(error.what());
  } catch (...) {
    ShowError("Unexpected error");
  }
  return failed;
}
