// The baseline of the sign-in benchmark: one WinINet request of the given address, the first of a fresh
// process as the program's sign-in is. Exits with the microseconds it took, or 0 when it failed.
#include <windows.h>
#include <wininet.h>

#include <chrono>

int main(int argc, char** argv) {
  if (argc != 2) return 0;
  const auto start = std::chrono::steady_clock::now();
  HINTERNET session = InternetOpenA("bare_request", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET url = InternetOpenUrlA(session, argv[1], nullptr, 0, INTERNET_FLAG_RELOAD, 0);
  char buffer[32768];
  DWORD got = 0, total = 0;
  bool read = url != nullptr;
  while (read && (read = InternetReadFile(url, buffer, sizeof buffer, &got)) && got > 0) total += got;
  if (url) InternetCloseHandle(url);
  if (session) InternetCloseHandle(session);
  const auto took =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  return read && total > 0 ? static_cast<int>(took.count()) : 0;
}
