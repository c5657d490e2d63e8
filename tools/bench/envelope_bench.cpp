// Times CipherEnvelope, both ways, against the bare two-key 3DES in ECB over the same text bytes (a fresh
// context per call, as the envelope makes one). Prints the median of several samples and the ratios.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "credentials/cipher_envelope.h"

namespace {

const TCipherKey Key = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                        0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};

void BareCipher(std::string& bytes, bool encrypt) {
  TTripleDesContext(Key, encrypt).Transform(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size() / 8);
}

// Median over samples of the time of one call, each sample timing enough calls to last a while.
double SecondsPerCall(std::size_t calls, const auto& call) {
  std::vector<double> samples;
  for (int sample = 0; sample < 11; ++sample) {
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < calls; ++i) call();
    samples.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                      calls);
  }
  std::nth_element(samples.begin(), samples.begin() + 5, samples.end());
  return samples[5];
}

}  // namespace

int main() {
  std::printf("%9s %12s %12s %7s %12s %12s %7s\n", "bytes", "encipher us", "bare enc us", "ratio",
              "decipher us", "bare dec us", "ratio");
  for (const std::size_t size : {std::size_t{16}, std::size_t{1024}, std::size_t{1} << 20}) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>(i * 31 + i / 7);
    const std::string stored = CipherEnvelope(text, Key, true);
    if (CipherEnvelope(stored, Key, false) != text) std::printf("round trip failed at %zu bytes\n", size);
    const std::size_t calls = std::max<std::size_t>(1, (std::size_t{4} << 20) / (size * 8));

    std::string sink;
    const double encipher = SecondsPerCall(calls, [&] { sink = CipherEnvelope(text, Key, true); });
    const double decipher = SecondsPerCall(calls, [&] { sink = CipherEnvelope(stored, Key, false); });
    std::string bytes = text;
    const double bareEncipher = SecondsPerCall(calls, [&] { BareCipher(bytes, true); });
    const double bareDecipher = SecondsPerCall(calls, [&] { BareCipher(bytes, false); });
    std::printf("%9zu %12.2f %12.2f %7.2f %12.2f %12.2f %7.2f\n", size, encipher * 1e6, bareEncipher * 1e6,
                encipher / bareEncipher, decipher * 1e6, bareDecipher * 1e6, decipher / bareDecipher);
  }
}
