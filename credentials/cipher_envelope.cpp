#include "credentials/cipher_envelope.h"

#include "service/base64.h"

namespace {

constexpr unsigned char First = '+', Last = 'z';
constexpr unsigned char OutsideAlphabet = 127;

constexpr std::array<unsigned char, 256> Values = [] {
  std::array<unsigned char, 256> values{};
  for (int c = First; c <= Last; ++c) values[c] = OutsideAlphabet;
  for (unsigned char v = 0; v < 64; ++v) values[static_cast<unsigned char>(Base64Alphabet[v])] = v;
  return values;
}();

}  // namespace

void Base64EncodeStream(TMemoryStream& source, TMemoryStream& target) {
  constexpr std::size_t Chunk = 45;
  char bytes[Chunk];
  for (;;) {
    const std::size_t got = source.Read(bytes, Chunk);
    if (got == 0) return;
    const std::string text = EncodeBase64(std::string_view(bytes, got));
    target.Write(text.data(), text.size());
    if (got < Chunk) return;
  }
}

void Base64DecodeStream(TMemoryStream& source, TMemoryStream& target) {
  constexpr std::size_t Chunk = 88;
  unsigned char text[Chunk];
  unsigned char bytes[Chunk / 4 * 3];
  const auto reject = [] { throw Exception(std::string(InvalidBase64CharacterMessage)); };
  for (;;) {
    const std::size_t got = source.Read(text, Chunk);
    if (got == 0) return;
    std::size_t out = 0;
    for (std::size_t at = 0; at < got; at += 4) {
      // A short last group has no defined meaning: take it as a character missing.
      if (got - at < 4) reject();
      const unsigned char* group = text + at;
      for (int i = 0; i < 4; ++i)
        if (group[i] < First || group[i] > Last) reject();
      const unsigned x1 = Values[group[0]], x2 = Values[group[1]], x3 = Values[group[2]],
                     x4 = Values[group[3]];
      bytes[out++] = static_cast<unsigned char>(x1 << 2 | x2 >> 4);
      if (group[2] == '=') continue;
      bytes[out++] = static_cast<unsigned char>(x2 << 4 | x3 >> 2);
      if (group[3] == '=') continue;
      bytes[out++] = static_cast<unsigned char>(x3 << 6 | x4);
    }
    target.Write(bytes, out);
    if (got < Chunk) return;
  }
}

std::string CipherEnvelope(std::string_view text, const TCipherKey& key, bool encrypt) {
  TMemoryStream input, middle, result;
  input.Write(text.data(), text.size());
  input.Seek(0);
  if (encrypt) {
    TripleDesStream(input, middle, key, true);
    middle.Seek(0);
    Base64EncodeStream(middle, result);
  } else {
    Base64DecodeStream(input, middle);
    middle.Seek(0);
    TripleDesStream(middle, result, key, false);
  }
  return result.TakeBytes();
}
