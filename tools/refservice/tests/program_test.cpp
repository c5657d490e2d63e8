// Runs the real program on a free loopback port and talks raw HTTP to it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

extern char** environ;

namespace {

// Sends one raw request and returns the whole answer, as the service closes the connection after it.
std::string Exchange(std::uint16_t port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  std::string answer;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, std::size_t(n));
  }
  ::close(fd);
  return answer;
}

std::string Get(std::uint16_t port, const std::string& target) {
  return Exchange(port, "GET " + target + " HTTP/1.1\r\nHost: accounts.quillon.example\r\n\r\n");
}

TEST(Program, AnswersOriginAndAbsoluteFormAndLogsEachRequest) {
  const auto log = std::filesystem::temp_directory_path() / ("refservice-" + std::to_string(::getpid()));
  std::filesystem::remove(log);
  std::string args[] = {REFSERVICE_PROGRAM, "--users", REFSERVICE_USERS, "--log", log.string()};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), args[4].data(), nullptr};
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Killed on the way out if an assertion ends the test early.
  const auto reap = [](const pid_t* p) {
    if (*p > 0 && ::kill(*p, SIGKILL) == 0) ::waitpid(*p, nullptr, 0);
  };
  const std::unique_ptr<pid_t, decltype(reap)> child(&pid, reap);
  ::close(out[1]);
  // The first line of the output is the port.
  std::string first;
  for (char c; first.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1;) first += c;
  ::close(out[0]);
  const auto port = static_cast<std::uint16_t>(std::strtoul(first.c_str(), nullptr, 10));
  ASSERT_GT(port, 0) << first;

  const std::string signIn =
      Get(port, "http://accounts.quillon.example/service/select.php?func=1&key=Wm/rIFNtaXRoJkNvfHg%2BeXx6");
  std::smatch match;
  EXPECT_TRUE(
      std::regex_search(signIn, match, std::regex(R"re(<session id="([0-9a-f]{32})" accessLevel="3"/>)re")))
      << signIn;
  EXPECT_EQ(signIn.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << signIn;
  const std::string closing = Get(port, "/service/select.php?func=2&session=" + match.str(1));
  EXPECT_NE(closing.find("<session id=\"" + match.str(1) + "\"/>"), std::string::npos) << closing;
  EXPECT_EQ(Exchange(port, "NONSENSE\r\n\r\n").rfind("HTTP/1.1 400 Bad Request\r\n", 0), 0u);

  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  pid = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z\t1\t)"
                                                R"(key=Wm/rIFNtaXRoJkNvfHg\+eXx6 user=Zo\\xeb\\x20Smith&Co\t)"
                                                "session " +
                                                match.str(1) + " level 3")))
      << line;
  std::filesystem::remove(log);
}

}  // namespace
