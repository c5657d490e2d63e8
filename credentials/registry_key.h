#pragma once

// The registry as the store of the remembered credentials sees it: the current user's part, where it
// opens a key that closes as it goes; and the rule that makes a value's data into text.

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// A read or write of a registry value failed. The store tells the user in words of its own.
class ERegistryException : public std::runtime_error {
 public:
  ERegistryException() : std::runtime_error("registry value") {}
};

// An open registry key, closed when it goes.
class TRegistryKey {
 public:
  virtual ~TRegistryKey() = default;

  // The text of a string value, up to its first zero; empty when the value is absent or has no data.
  // Raises ERegistryException for a value of another type or a failed read.
  virtual std::string ReadText(std::string_view name) = 0;
  // Stores text as a string value. Raises ERegistryException when that fails.
  virtual void WriteText(std::string_view name, std::string_view text) = 0;
  // Removes the value; a value that is not there is no error.
  virtual void DeleteValue(std::string_view name) = 0;
};

// The current user's part of the registry; the store sees the registry only through this.
class TRegistry {
 public:
  virtual ~TRegistry() = default;

  // Opens path with full access, creating it and the keys above it when missing; null when neither works.
  virtual std::unique_ptr<TRegistryKey> OpenOrCreate(std::string_view path) = 0;
};

// What ReadText makes of a value's data once read: empty data is the empty text whatever the type;
// otherwise only a string type is accepted and the text ends at its first zero.
std::string RegistryValueText(bool isStringType, std::string_view data);
