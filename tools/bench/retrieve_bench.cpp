// Times RetrieveUrl against a bare WinINet read loop of the same loopback address, for answers of 1 KB,
// 1 MB and 32 MB. Prints the median of several runs of each and their ratio.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "service/retrieve.h"
#include "tools/testing/loopback_server.h"

namespace {

double Seconds(const auto& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::size_t BareRead(const std::string& address) {
  HINTERNET session = InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET url =
      InternetOpenUrlA(session, address.c_str(), nullptr, 0,
                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  std::vector<char> buffer(32768);
  std::size_t total = 0;
  DWORD got = 0;
  while (InternetReadFile(url, buffer.data(), 32768, &got) && got > 0) total += got;
  InternetCloseHandle(url);
  InternetCloseHandle(session);
  return total;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  for (const std::size_t size : {std::size_t{1024}, std::size_t{1} << 20, std::size_t{32} << 20}) {
    const std::string body(size, 'x');
    TLoopbackServer server([&](const auto&) { return TLoopbackServer::Reply(200, body); });
    const std::string address = server.Url("/");
    const int runs = size > (1u << 20) ? 5 : 21;
    std::vector<double> ours, bare;
    for (int i = 0; i < runs; ++i) {
      std::string reply;
      ours.push_back(Seconds([&] { RetrieveUrl(address, reply); }));
      if (reply.size() != size) std::printf("short answer: %zu\n", reply.size());
      bare.push_back(Seconds([&] { BareRead(address); }));
    }
    const double o = Median(ours), b = Median(bare);
    std::printf("%9zu bytes: RetrieveUrl %8.2f ms, bare loop %8.2f ms, ratio %.2f, %.1f MB/s\n", size,
                o * 1e3, b * 1e3, o / b, size / o / 1e6);
  }
}
