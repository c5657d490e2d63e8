#pragma once

#include <string>
#include <string_view>

#include "credentials/exception.h"

enum class TRegistryRoot { CurrentUser };

// A read or write of a registry value failed.
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

// One registry key, opened by OpenOrCreate and closed by Close; the store sees the registry only
// through this.
class TRegistryKey {
 public:
  virtual ~TRegistryKey() = default;

  // Opens root\path with full access, creating it and the keys above it when missing. False when neither
  // works.
  virtual bool OpenOrCreate(TRegistryRoot root, std::string_view path) = 0;
  // The text of a string value, up to its first zero; empty when the value is absent or has no data.
  // Raises ERegistryException for a value of another type or a failed read.
  virtual std::string ReadText(std::string_view name) = 0;
  // Stores text as a string value. Raises ERegistryException when that fails.
  virtual void WriteText(std::string_view name, std::string_view text) = 0;
  // Removes the value; a value that is not there is no error.
  virtual void DeleteValue(std::string_view name) = 0;
  virtual void Close() noexcept = 0;
};

// What ReadText makes of a value's data once read: empty data is the empty text whatever the type;
// otherwise only a string type is accepted and the text ends at its first zero.
std::string RegistryValueText(std::string_view name, bool isStringType, std::string_view data);

std::string InvalidDataTypeMessage(std::string_view name);
std::string FailedToGetDataMessage(std::string_view name);
std::string FailedToSetDataMessage(std::string_view name);
