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

// Closing wipes the key schedules.
struct TTripleDesContext::TCipher {
  gcry_cipher_hd_t Handle = nullptr;
  ~TCipher() { gcry_cipher_close(Handle); }
};

TTripleDesContext::TTripleDesContext(const TCipherKey& key, bool encrypt)
    : cipher_(std::make_unique<TCipher>()), encrypt_(encrypt) {
  InitialiseGcrypt();
  if (const gcry_error_t error =
          gcry_cipher_open(&cipher_->Handle, GCRY_CIPHER_3DES, GCRY_CIPHER_MODE_ECB, 0))
    Fail("open", error);
  gcry_cipher_hd_t handle = cipher_->Handle;
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

void TTripleDesContext::Transform(unsigned char* blocks, std::size_t count) {
  if (count == 0) return;
  const gcry_error_t error = encrypt_ ? gcry_cipher_encrypt(cipher_->Handle, blocks, count * 8, nullptr, 0)
                                      : gcry_cipher_decrypt(cipher_->Handle, blocks, count * 8, nullptr, 0);
  if (error) Fail(encrypt_ ? "encipherment" : "decipherment", error);
}
