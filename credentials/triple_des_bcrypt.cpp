#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

#include <algorithm>
#include <string>

#include "credentials/cipher_envelope.h"
#include "win32/handles.h"

namespace {

void CloseAlgorithm(BCRYPT_ALG_HANDLE algorithm) { BCryptCloseAlgorithmProvider(algorithm, 0); }
// Destroying the key wipes its schedules.
void DestroyKey(BCRYPT_KEY_HANDLE key) { BCryptDestroyKey(key); }

// By hand: snprintf would bring the C library's whole formatter into the program.
[[noreturn]] void Fail(const char* what, NTSTATUS status) {
  std::string text = std::string("Triple DES ") + what + " failed: 0x";
  for (int shift = 28; shift >= 0; shift -= 4)
    text += "0123456789ABCDEF"[(static_cast<ULONG>(status) >> shift) & 0xF];
  throw Exception(text);
}

}  // namespace

struct TTripleDesContext::TCipher {
  TOwner<BCRYPT_ALG_HANDLE, CloseAlgorithm> Algorithm;
  TOwner<BCRYPT_KEY_HANDLE, DestroyKey> Key;
  unsigned char Chain[8] = {};  // the CBC chaining value after the last block
};

// The two-key algorithm and ECB are missing from Wine's CNG, so the key is K1, K2, K1 for the three-key
// algorithm in CBC, and ECB is had from CBC block by block (see Transform).
TTripleDesContext::TTripleDesContext(const TCipherKey& key, bool encrypt)
    : cipher_(std::make_unique<TCipher>()), encrypt_(encrypt) {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (const NTSTATUS status = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_3DES_ALGORITHM, nullptr, 0);
      !BCRYPT_SUCCESS(status))
    Fail("open", status);
  cipher_->Algorithm.Reset(algorithm);
  wchar_t mode[] = BCRYPT_CHAIN_MODE_CBC;
  if (const NTSTATUS status =
          BCryptSetProperty(algorithm, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode), sizeof mode, 0);
      !BCRYPT_SUCCESS(status))
    Fail("mode", status);
  unsigned char three[24];
  std::copy(key.begin(), key.end(), three);
  std::copy(key.begin(), key.begin() + 8, three + 16);
  BCRYPT_KEY_HANDLE handle = nullptr;
  const NTSTATUS status = BCryptGenerateSymmetricKey(algorithm, &handle, nullptr, 0, three, sizeof three, 0);
  SecureZeroMemory(three, sizeof three);
  if (!BCRYPT_SUCCESS(status)) Fail("key", status);
  cipher_->Key.Reset(handle);
}

TTripleDesContext::~TTripleDesContext() = default;

// A fresh zero IV for every block is not enough: Wine's CNG goes on chaining from the previous call when
// it is handed the IV that it had before. So each call gets the true chaining value as its IV, as both
// systems then agree, and XORing the block with it before enciphering, or after deciphering, cancels the
// chaining out.
void TTripleDesContext::Transform(unsigned char* blocks, std::size_t count) {
  unsigned char* chain = cipher_->Chain;
  for (unsigned char* block = blocks; block != blocks + count * 8; block += 8) {
    unsigned char iv[8], cipherBlock[8];
    std::copy(chain, chain + 8, iv);
    if (encrypt_)
      for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
    else
      std::copy(block, block + 8, cipherBlock);
    ULONG written = 0;
    // In place, as both calls allow.
    const NTSTATUS status =
        encrypt_ ? BCryptEncrypt(cipher_->Key.Get(), block, 8, nullptr, iv, sizeof iv, block, 8, &written, 0)
                 : BCryptDecrypt(cipher_->Key.Get(), block, 8, nullptr, iv, sizeof iv, block, 8, &written, 0);
    if (!BCRYPT_SUCCESS(status) || written != 8) Fail(encrypt_ ? "encipherment" : "decipherment", status);
    if (encrypt_) {
      std::copy(block, block + 8, chain);
    } else {
      for (int i = 0; i < 8; ++i) block[i] ^= chain[i];
      std::copy(cipherBlock, cipherBlock + 8, chain);
    }
  }
}
