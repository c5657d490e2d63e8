#include "service/base64.h"

std::string EncodeBase64(std::string_view data) {
  std::string text;
  text.reserve((data.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto byte = [&data](std::size_t at) { return static_cast<unsigned char>(data[at]); };
  for (; i + 3 <= data.size(); i += 3) {
    const unsigned group = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    text += Base64Alphabet[group >> 18 & 63];
    text += Base64Alphabet[group >> 12 & 63];
    text += Base64Alphabet[group >> 6 & 63];
    text += Base64Alphabet[group & 63];
  }
  const std::size_t left = data.size() - i;
  if (left == 1) {
    const unsigned group = byte(i) << 16;
    text += Base64Alphabet[group >> 18 & 63];
    text += Base64Alphabet[group >> 12 & 63];
    text += "==";
  } else if (left == 2) {
    const unsigned group = byte(i) << 16 | byte(i + 1) << 8;
    text += Base64Alphabet[group >> 18 & 63];
    text += Base64Alphabet[group >> 12 & 63];
    text += Base64Alphabet[group >> 6 & 63];
    text += '=';
  }
  return text;
}
