#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "credentials/exception.h"
#include "credentials/memory_stream.h"

// Two DES keys, K1 in bytes 0 to 7 and K2 in bytes 8 to 15. Parity bits are ignored.
using TCipherKey = std::array<unsigned char, 16>;

inline constexpr std::string_view InvalidFileFormatMessage = "Invalid file format";
inline constexpr std::string_view InvalidBase64CharacterMessage = "Invalid Base64 Character";

// The key schedules of one call: two-key triple DES (E K1, D K2, E K1 when enciphering, the inverse when
// deciphering) applied to each 8-byte block on its own. Weak DES keys are accepted. The cipher comes from
// the system's library (CNG) in the Windows program and from libgcrypt elsewhere.
class TTripleDesContext {
 public:
  TTripleDesContext(const TCipherKey& key, bool encrypt);
  ~TTripleDesContext();
  TTripleDesContext(const TTripleDesContext&) = delete;
  TTripleDesContext& operator=(const TTripleDesContext&) = delete;

  // Transforms count blocks of 8 bytes in place; no block depends on another.
  void Transform(unsigned char* blocks, std::size_t count);

 private:
  struct TCipher;  // the library's handles
  std::unique_ptr<TCipher> cipher_;
  bool encrypt_;
};

// Enciphers source from its position into target, framed so that the last block carries the count of
// text bytes in it (byte 7); deciphering undoes that. The number of blocks comes from the total size of
// source. Raises ECipherException "Invalid file format" when source runs short or the count is above 8.
void TripleDesStream(TMemoryStream& source, TMemoryStream& target, const TCipherKey& key, bool encrypt);

// Standard Base64 of source from its position to its end, in 45-byte pieces.
void Base64EncodeStream(TMemoryStream& source, TMemoryStream& target);

// Decodes source in 88-character pieces. Padded groups end early but decoding goes on after them.
// Characters between "+" and "z" that are not in the alphabet count as 127. Raises Exception
// "Invalid Base64 Character" for a character outside that range or an incomplete last group.
void Base64DecodeStream(TMemoryStream& source, TMemoryStream& target);

// encrypt: text to its stored form (Base64 of the enciphered stream); otherwise the stored form back to
// the text. Errors of the two steps above pass through unchanged.
std::string CipherEnvelope(std::string_view text, const TCipherKey& key, bool encrypt);
