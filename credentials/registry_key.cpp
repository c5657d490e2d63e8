#include "credentials/registry_key.h"

std::string RegistryValueText(bool isStringType, std::string_view data) {
  if (data.empty()) return {};
  if (!isStringType) throw ERegistryException();
  return std::string(data.substr(0, data.find('\0')));
}
