#include <algorithm>
#include <string>

#include "credentials/cipher_envelope.h"

void TripleDesStream(TMemoryStream& source, TMemoryStream& target, const TCipherKey& key, bool encrypt) {
  TTripleDesContext context(key, encrypt);
  const std::size_t size = source.Size();
  const std::size_t blocks = size / 8 + (encrypt ? 1 : 0);
  const auto fail = [] { throw ECipherException(std::string(InvalidFileFormatMessage)); };

  // All blocks but the last, many at a time: ECB keeps them independent, so this equals one by one.
  constexpr std::size_t ChunkBlocks = 512;
  unsigned char chunk[ChunkBlocks * 8];
  for (std::size_t left = blocks > 0 ? blocks - 1 : 0; left > 0;) {
    const std::size_t wanted = std::min(left, ChunkBlocks);
    const std::size_t got = source.Read(chunk, wanted * 8);
    context.Transform(chunk, got / 8);
    target.Write(chunk, got / 8 * 8);
    if (got < wanted * 8) fail();
    left -= wanted;
  }

  unsigned char block[8] = {};
  if (encrypt) {
    const std::size_t rest = size % 8;
    if (source.Read(block, rest) < rest) fail();
    block[7] = static_cast<unsigned char>(rest);
    context.Transform(block, 1);
    target.Write(block, 8);
  } else {
    if (source.Read(block, 8) < 8) fail();
    context.Transform(block, 1);
    const std::size_t count = block[7];
    if (count > 8) fail();
    target.Write(block, count);
  }
}
