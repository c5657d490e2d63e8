// Runs the real program on a free loopback port and talks raw HTTP to it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "service.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The child process; killed on the way out if a test left it running.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    args.insert(args.begin(), REFSERVICE_PROGRAM);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // Everything the program wrote to stdout until it closed it or the time ran out.
  std::string Output(std::chrono::milliseconds limit, bool firstLineOnly) {
    std::string text;
    const auto deadline = Clock::now() + limit;
    while (!(firstLineOnly && text.find('\n') != std::string::npos)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      pollfd fd{out_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&fd, 1, int(left.count())) <= 0) break;
      char buffer[256];
      const auto n = ::read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, std::size_t(n));
    }
    return text;
  }

  std::uint16_t Port() {
    const std::string line = Output(5s, true);
    return static_cast<std::uint16_t>(std::stoi(line));
  }

  void Signal(int signal) { ::kill(pid_, signal); }

  // The exit status, or -1 when the program is still running at the limit.
  int Wait(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

int Connect(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) text.append(buffer, std::size_t(n));
  return text;
}

// Sends one raw request and returns the whole answer, as the service closes the connection after it.
std::string Exchange(std::uint16_t port, const std::string& request) {
  const int fd = Connect(port);
  if (fd < 0) return "(connect failed)";
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer = ReadAll(fd);
  ::close(fd);
  return answer;
}

std::string Get(std::uint16_t port, const std::string& target) {
  return Exchange(port, "GET " + target +
                            " HTTP/1.1\r\nHost: accounts.quillon.example\r\nUser-Agent: Quillon.exe\r\n\r\n");
}

std::string Body(const std::string& answer) {
  const auto end = answer.find("\r\n\r\n");
  return end == std::string::npos ? "" : answer.substr(end + 4);
}

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::filesystem::path TempFile(const std::string& name) {
  auto path = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".log");
  std::filesystem::remove(path);
  return path;
}

const std::string Declaration = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n";
const std::string Absolute = "http://accounts.quillon.example/service/select.php?";

TEST(Program, AnswersOriginAndAbsoluteFormAndLogsEachRequest) {
  const auto logFile = TempFile("refservice-program");
  Program program({"--port", "0", "--users", REFSERVICE_USERS, "--log", logFile.string()});
  const auto port = program.Port();
  ASSERT_GT(port, 0);

  const std::string signIn = Get(port, Absolute + "func=1&key=Wm/rIFNtaXRoJkNvfHg%2BeXx6");
  EXPECT_EQ(signIn.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << signIn;
  EXPECT_NE(signIn.find("\r\nContent-Type: text/xml; charset=windows-1252\r\n"), std::string::npos) << signIn;
  const std::string body = Body(signIn);
  ASSERT_EQ(body.rfind(Declaration, 0), 0u) << body;
  std::smatch match;
  const std::string root = body.substr(Declaration.size());
  ASSERT_TRUE(std::regex_match(
      root, match,
      std::regex(
          R"re(<Brovik><license><session id="([0-9a-f]{32})" accessLevel="3"/></license></Brovik>)re")))
      << body;
  const std::string id = match[1];
  EXPECT_NE(signIn.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);

  EXPECT_EQ(Body(Get(port, "/service/select.php?func=2&session=" + id)),
            Declaration + "<Brovik><license><session id=\"" + id + "\"/></license></Brovik>");
  EXPECT_EQ(Body(Get(port, Absolute + "func=2&session=" + id)),
            Declaration + "<Brovik><license><error code=\"4\">Unknown session</error></license></Brovik>");
  EXPECT_EQ(Body(Get(port, Absolute + "func=1&key=YWxpY2V8V29uZGVybGFuZA%3D%3D")),
            Declaration + "<Brovik><license><error code=\"2\">Wrong password</error></license></Brovik>");
  const std::string missing = Get(port, "http://accounts.quillon.example/service/index.php?func=1");
  EXPECT_EQ(missing.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u) << missing;
  EXPECT_EQ(Body(missing), "Not found\n");
  EXPECT_EQ(Exchange(port, "NONSENSE\r\n\r\n").rfind("HTTP/1.1 400 Bad Request\r\n", 0), 0u);
  // A connection that sends nothing is no request and leaves no line.
  ::close(Connect(port));

  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(5s), 0);

  const auto lines = Lines(logFile);
  const std::string time = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z\t)";
  const std::vector<std::string> expected = {
      time + R"(1\tkey=Wm/rIFNtaXRoJkNvfHg\+eXx6 user=Zo\\xeb\\x20Smith&Co\tsession )" + id + " level 3",
      time + R"(2\tsession=)" + id + R"(\tclosed )" + id,
      time + R"(2\tsession=)" + id + R"(\terror 4 Unknown session)",
      time + R"(1\tkey=YWxpY2V8V29uZGVybGFuZA== user=alice\terror 2 Wrong password)",
      time + R"(-\t-\t404 not found /service/index.php)",
      time + R"(-\t-\t400 malformed request line)",
  };
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    EXPECT_TRUE(std::regex_match(lines[i], std::regex(expected[i]))) << lines[i];
  std::filesystem::remove(logFile);
}

TEST(Program, DelaysAnswersAndStopsWithARequestInFlight) {
  const auto logFile = TempFile("refservice-delay");
  {
    Program program({"--delay-ms", "300", "--users", REFSERVICE_USERS, "--log", logFile.string()});
    const auto port = program.Port();
    const auto start = Clock::now();
    const std::string answer = Get(port, Absolute + "func=1&key=Y2xhcmF8Y2xpZW50");
    EXPECT_GE(Clock::now() - start, 300ms);
    EXPECT_NE(answer.find("accessLevel=\"7\""), std::string::npos) << answer;
    program.Signal(SIGINT);
    EXPECT_EQ(program.Wait(5s), 0);
  }
  {
    Program program({"--delay-ms", "60000", "--users", REFSERVICE_USERS, "--log", logFile.string()});
    const auto port = program.Port();
    const int fd = Connect(port);
    ASSERT_GE(fd, 0);
    const std::string request = "GET " + Absolute + "func=2&session=x HTTP/1.1\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::this_thread::sleep_for(200ms);
    const auto stop = Clock::now();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(5s), 0);
    EXPECT_LT(Clock::now() - stop, 3s);
    EXPECT_EQ(ReadAll(fd), "");  // the connection ends without an answer
    ::close(fd);
  }
  const auto lines = Lines(logFile);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_search(lines[0], std::regex(R"( user=clara\tsession [0-9a-f]{32} level 7$)")))
      << lines[0];
  EXPECT_TRUE(lines[1].ends_with("\t2\tsession=x\terror 4 Unknown session (not sent: service stopping)"))
      << lines[1];
  std::filesystem::remove(logFile);
}

TEST(Program, KilledMidRunLeavesNoListener) {
  Program program({"--users", REFSERVICE_USERS, "--log", "/dev/null"});
  const auto port = program.Port();
  EXPECT_NE(Get(port, Absolute + "func=2&session=x").find("Unknown session"), std::string::npos);
  program.Signal(SIGKILL);
  EXPECT_EQ(program.Wait(5s), 128 + SIGKILL);
  EXPECT_EQ(Connect(port), -1);
}

TEST(Program, RefusesBadArgumentsAndUsersFiles) {
  const auto badUsers = TempFile("refservice-users");
  std::ofstream(badUsers) << "alice\twonderland\n";
  const std::vector<std::string> cases[] = {
      {"--port", "65536"},
      {"--port", "80x"},
      {"--bogus", "1"},
      {"--port"},
      {"--users", "no-such-file.txt"},
      {"--users", badUsers.string()},
  };
  for (const auto& args : cases) {
    Program program(args);
    EXPECT_EQ(program.Output(5s, false), "") << args[0];
    EXPECT_EQ(program.Wait(5s), 2) << args[0];
  }
  std::filesystem::remove(badUsers);
}

TEST(DemoUsers, CoverEveryLevelAndAnAnsiName) {
  std::ifstream in(REFSERVICE_USERS, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::set<int> levels;
  bool ansiName = false;
  for (const auto& account : refservice::ParseUsers(text.str())) {
    levels.insert(account.accessLevel);
    ansiName |= account.name == "Zo\xEB Smith&Co";
  }
  for (int level = 0; level <= 7; ++level) EXPECT_EQ(levels.count(level), 1u) << level;
  EXPECT_TRUE(ansiName);
}

}  // namespace
