// Percent-escaping and request addresses: whatever the bytes, the address must carry them to the service
// unchanged and in a form it takes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "service/request.h"

namespace {

#define CHECK(condition)                                          \
  do {                                                            \
    if (!(condition)) {                                           \
      std::fprintf(stderr, "invariant broken: %s\n", #condition); \
      std::abort();                                               \
    }                                                             \
  } while (false)

// Spelled out again rather than taken from the encoder, so that a slip in its table shows here.
constexpr std::string_view Unreserved =
    "!$'()*-./0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower-case digits too: the service is given upper case only
}

// Undoes the escaping, checking its form on the way: unreserved bytes as they stand, every other byte as
// %XX, and nothing escaped that needed no escape.
std::string Unescape(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      CHECK(Unreserved.find(text[i]) != std::string_view::npos);
      bytes += text[i];
      continue;
    }
    CHECK(i + 2 < text.size());
    const int high = HexValue(text[i + 1]);
    const int low = HexValue(text[i + 2]);
    CHECK(high >= 0 && low >= 0);
    const char byte = static_cast<char>(high * 16 + low);
    CHECK(Unreserved.find(byte) == std::string_view::npos);
    bytes += byte;
    i += 2;
  }
  return bytes;
}

void CheckEscaping(std::string_view value) {
  const std::string escaped = UrlEncode(value);
  CHECK(escaped.size() <= 3 * value.size());
  CHECK(Unescape(escaped) == value);
}

void CheckRequestAddress(FuzzedDataProvider& input) {
  const auto function = input.ConsumeIntegral<std::int32_t>();
  std::vector<std::string> names, values;
  for (auto pairs = input.ConsumeIntegralInRange(0, 6); pairs > 0; --pairs) {
    names.push_back(input.ConsumeRandomLengthString(16));
    values.push_back(input.ConsumeRandomLengthString(64));
  }
  const std::string url = BuildRequestUrl(function, names, values);
  CHECK(url.starts_with(ServiceBaseAddress));

  // The function number in plain decimal: no sign but a minus, no leading zeros.
  std::size_t at = ServiceBaseAddress.size();
  const std::size_t numberEnd = std::min(url.find('&', at), url.size());
  const std::string_view number = std::string_view(url).substr(at, numberEnd - at);
  std::int32_t parsed = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), parsed);
  CHECK(error == std::errc{} && end == number.data() + number.size() && parsed == function);
  CHECK(number == "0" || (!number.starts_with('0') && !number.starts_with("-0")));
  at = numberEnd;

  // Then each pair in order. Escaped values hold no "&", so each one runs to the next pair.
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string head = "&" + names[i] + "=";
    CHECK(std::string_view(url).substr(at, head.size()) == head);
    at += head.size();
    const std::size_t valueEnd = std::min(url.find('&', at), url.size());
    CHECK(Unescape(std::string_view(url).substr(at, valueEnd - at)) == values[i]);
    at = valueEnd;
  }
  CHECK(at == url.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckEscaping(std::string_view(reinterpret_cast<const char*>(data), size));
  FuzzedDataProvider input(data, size);
  CheckRequestAddress(input);
  return 0;
}
