// Deciphers arbitrary stored forms: the only errors allowed out are the envelope's two, and whatever
// deciphers must survive a round trip.
#include <cstdint>
#include <string>
#include <string_view>

#include "credentials/cipher_envelope.h"
#include "credentials/credentials_key.h"
#include "tools/testing/require.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view stored(reinterpret_cast<const char*>(data), size);
  std::string text;
  try {
    text = CipherEnvelope(stored, CredentialsKey, false);
  } catch (const ECipherException& error) {
    Require(error.what() == InvalidFileFormatMessage, "ECipherException message");
    return 0;
  } catch (const Exception& error) {
    Require(error.what() == InvalidBase64CharacterMessage, "Exception message");
    return 0;
  }
  // Any other exception leaves through here and ends the run as a crash.
  Require(text.size() <= size / 4 * 3, "text longer than its decoded bytes");
  Require(CipherEnvelope(CipherEnvelope(text, CredentialsKey, true), CredentialsKey, false) == text,
          "round trip");
  return 0;
}
