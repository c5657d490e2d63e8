#include "service/request.h"

#include <array>

namespace {

constexpr std::array<bool, 256> MakeUnreservedTable() {
  std::array<bool, 256> table{};
  auto mark = [&table](int first, int last) {
    for (int c = first; c <= last; ++c) table[static_cast<std::size_t>(c)] = true;
  };
  mark(33, 33);   // !
  mark(36, 36);   // $
  mark(39, 42);   // ' ( ) *
  mark(45, 57);   // - . / 0-9
  mark(64, 90);   // @ A-Z
  mark(95, 95);   // _
  mark(97, 122);  // a-z
  return table;
}

constexpr std::array<bool, 256> Unreserved = MakeUnreservedTable();

}  // namespace

std::string UrlEncode(std::string_view value) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string result;
  result.reserve(value.size() * 3);
  for (char ch : value) {
    const auto byte = static_cast<unsigned char>(ch);
    if (Unreserved[byte]) {
      result += ch;
    } else {
      result += '%';
      result += Hex[byte >> 4];
      result += Hex[byte & 0x0F];
    }
  }
  return result;
}

std::string BuildRequestUrl(std::int32_t function, const std::vector<std::string>& names,
                            const std::vector<std::string>& values) {
  std::string url(ServiceBaseAddress);
  url += std::to_string(function);
  for (std::size_t i = 0; i < names.size(); ++i) {
    url += '&';
    url += names[i];
    url += '=';
    url += UrlEncode(values.at(i));
  }
  return url;
}
