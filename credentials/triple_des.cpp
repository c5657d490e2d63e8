#include <gcrypt.h>

#include <algorithm>
#include <string>

#include "credentials/cipher_envelope.h"

namespace {

void InitialiseGcrypt() {
  static const bool Ready = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)Ready;
}

// Volatile stores, so that wiping a buffer about to die is not optimised away.
void Wipe(unsigned char* bytes, std::size_t count) {
  volatile unsigned char* p = bytes;
  while (count-- > 0) *p++ = 0;
}

[[noreturn]] void Fail(const char* what, gcry_error_t error) {
  throw Exception(std::string("Triple DES ") + what + " failed: " + gcry_strerror(error));
}

}  // namespace

TTripleDesContext::TTripleDesContext(const TCipherKey& key, bool encrypt) : encrypt_(encrypt) {
  InitialiseGcrypt();
  gcry_cipher_hd_t handle = nullptr;
  if (const gcry_error_t error = gcry_cipher_open(&handle, GCRY_CIPHER_3DES, GCRY_CIPHER_MODE_ECB, 0))
    Fail("open", error);
  handle_.reset(handle);
  // Weak keys are DES keys like any other; without this setkey refuses them.
  gcry_cipher_ctl(handle, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
  unsigned char three[24];
  std::copy(key.begin(), key.end(), three);
  std::copy(key.begin(), key.begin() + 8, three + 16);
  const gcry_error_t error = gcry_cipher_setkey(handle, three, sizeof three);
  Wipe(three, sizeof three);
  if (error && gcry_err_code(error) != GPG_ERR_WEAK_KEY) Fail("key", error);
}

TTripleDesContext::~TTripleDesContext() = default;

// Closing wipes the key schedules.
void TTripleDesContext::TCloser::operator()(gcry_cipher_handle* handle) const { gcry_cipher_close(handle); }

void TTripleDesContext::Transform(unsigned char* blocks, std::size_t count) {
  if (count == 0) return;
  const gcry_error_t error = encrypt_ ? gcry_cipher_encrypt(handle_.get(), blocks, count * 8, nullptr, 0)
                                      : gcry_cipher_decrypt(handle_.get(), blocks, count * 8, nullptr, 0);
  if (error) Fail(encrypt_ ? "encipherment" : "decipherment", error);
}

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
