#include "credentials/registry_key.h"

namespace {

std::string Quoted(std::string_view lead, std::string_view name) {
  return std::string(lead) + " '" + std::string(name) + "'";
}

}  // namespace

std::string InvalidDataTypeMessage(std::string_view name) { return Quoted("Invalid data type for", name); }
std::string FailedToGetDataMessage(std::string_view name) { return Quoted("Failed to get data for", name); }
std::string FailedToSetDataMessage(std::string_view name) { return Quoted("Failed to set data for", name); }

std::string RegistryValueText(std::string_view name, bool isStringType, std::string_view data) {
  if (data.empty()) return {};
  if (!isStringType) throw ERegistryException(InvalidDataTypeMessage(name));
  return std::string(data.substr(0, data.find('\0')));
}
