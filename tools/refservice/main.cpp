// quillon-refservice: the reference account service on 127.0.0.1, for the demo and the end-to-end tests.
#include <fcntl.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): sigaction() is POSIX, not in <csignal>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "server.h"
#include "service.h"

namespace {

constexpr std::string_view Usage =
    "usage: quillon-refservice [--port N] [--users FILE] [--log FILE] [--delay-ms N]\n"
    "  --port N      listen on 127.0.0.1:N; a free port when 0 or absent. The port is the first line of "
    "stdout.\n"
    "  --users FILE  demo users (default: users.txt beside the program)\n"
    "  --log FILE    append one line per request (default: stderr)\n"
    "  --delay-ms N  wait N milliseconds before each answer\n";

int StopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 0;
  [[maybe_unused]] auto ignored = ::write(StopPipe[1], &byte, 1);
  errno = saved;
}

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "quillon-refservice: " << message << '\n';
  std::exit(2);
}

template <typename T>
T Number(std::string_view option, std::string_view text, T max) {
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty() || value < 0 || value > max)
    Fail(std::string(option) + " needs a number from 0 to " + std::to_string(max));
  return value;
}

std::filesystem::path DefaultUsersFile() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return (error ? std::filesystem::path(".") : self.parent_path()) / "users.txt";
}

}  // namespace

int main(int argc, char** argv) {
  long port = 0;
  long delayMs = 0;
  std::filesystem::path usersFile = DefaultUsersFile();
  std::string logFile;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") {
      std::cout << Usage;
      return 0;
    }
    if (i + 1 >= argc) {
      std::cerr << Usage;
      return 2;
    }
    const std::string_view value = argv[++i];
    if (option == "--port") {
      port = Number<long>(option, value, 65535);
    } else if (option == "--delay-ms") {
      delayMs = Number<long>(option, value, 3'600'000);
    } else if (option == "--users") {
      usersFile = value;
    } else if (option == "--log") {
      logFile = value;
    } else {
      std::cerr << Usage;
      return 2;
    }
  }

  std::ifstream in(usersFile, std::ios::binary);
  if (!in) Fail("cannot read " + usersFile.string());
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<refservice::TAccount> accounts;
  try {
    accounts = refservice::ParseUsers(text.str());
  } catch (const std::exception& e) {
    Fail(usersFile.string() + ": " + e.what());
  }

  std::FILE* log = stderr;
  if (!logFile.empty()) {
    log = std::fopen(logFile.c_str(), "ae");
    if (!log) Fail("cannot open " + logFile + ": " + std::strerror(errno));
  }

  // Handlers go in before the port is announced: a script may send SIGTERM as soon as it has read it.
  if (::pipe2(StopPipe, O_CLOEXEC | O_NONBLOCK) != 0) Fail(std::string("pipe: ") + std::strerror(errno));
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  refservice::TService service(std::move(accounts), refservice::RandomSessionId);
  refservice::TRequestLog requestLog(log);
  refservice::TServer server(service, requestLog, std::chrono::milliseconds(delayMs));
  try {
    const auto bound = server.Listen(static_cast<std::uint16_t>(port));
    std::cout << bound << std::endl;
  } catch (const std::exception& e) {
    Fail(e.what());
  }
  server.Run(StopPipe[0]);
  if (log != stderr) std::fclose(log);
  return 0;
}
