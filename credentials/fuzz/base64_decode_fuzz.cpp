// Decodes arbitrary text with the stream decoder: the only error allowed out is the decoder's own, the
// bytes never outnumber three per four characters, and canonical Base64 decodes to what encodes back to it.
#include <cstdint>
#include <string>
#include <string_view>

#include "credentials/cipher_envelope.h"
#include "credentials/memory_stream.h"
#include "service/base64.h"
#include "tools/testing/require.h"

namespace {

bool Canonical(std::string_view text) {
  return text.size() % 4 == 0 && text.find_first_not_of(Base64Alphabet) == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TMemoryStream source;
  source.Write(text.data(), text.size());
  source.Seek(0);
  TMemoryStream target;
  try {
    Base64DecodeStream(source, target);
  } catch (const Exception& error) {
    Require(error.what() == InvalidBase64CharacterMessage, "Exception message");
    return 0;
  }
  Require(target.Size() <= size / 4 * 3, "more bytes than the characters stand for");
  if (Canonical(text)) Require(EncodeBase64(target.Bytes()) == text, "canonical text round trip");
  return 0;
}
