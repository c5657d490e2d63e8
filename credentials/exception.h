#pragma once

#include <stdexcept>

// Base of the errors that the credentials module raises; what() is the text shown to the user.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The enciphered stream is not one that the envelope could have made.
class ECipherException : public Exception {
 public:
  using Exception::Exception;
};
