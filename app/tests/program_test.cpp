// The whole program as a user meets it: Quillon.exe started as a process of its own, driven through its
// windows, against a loopback service that stands behind the system's proxy setting.
#include <gtest/gtest.h>

#include <map>

#include "service/executable.h"
#include "service/tests/loopback_server.h"
#include "service/tests/proxy_setting.h"
#include "session/message.h"
#include "session/tests/gui_driver.h"

namespace {

using namespace std::chrono_literals;
using gui::Program;

std::string Base64Decode(const std::string& text) {
  static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0, count = 0;
  for (char c : text) {
    const auto at = alphabet.find(c);
    if (at == std::string::npos) continue;
    bits = bits << 6 | static_cast<unsigned>(at);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>(bits >> count & 0xFF);
    }
  }
  return out;
}

std::string PercentDecode(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Parameter(const std::string& target, const std::string& name) {
  const auto at = target.find("&" + name + "=");
  if (at == std::string::npos) return {};
  const auto start = at + name.size() + 2;
  return target.substr(start, target.find('&', start) - start);
}

// A small account service: users sign in with their own name as password; "locked" gets an error with a
// session, as a faulty service might send.
LoopbackServer::Response Answer(const LoopbackServer::Request& request) {
  static const std::map<std::string, int> levels = {{"alice", 6}, {"bob", 3}};
  if (request.target.find("func=1&") != std::string::npos) {
    const std::string key = Base64Decode(PercentDecode(Parameter(request.target, "key")));
    const std::string user = key.substr(0, key.find('|'));
    if (user == "locked")
      return LoopbackServer::Reply(
          200,
          R"(<Brovik><license><error code="7">Locked</error><session id="S-locked"/></license></Brovik>)");
    const auto level = levels.find(user);
    if (level == levels.end() || key != user + "|" + user)
      return LoopbackServer::Reply(
          200, R"(<Brovik><license><error code="2">Wrong password</error></license></Brovik>)");
    return LoopbackServer::Reply(200, "<Brovik><license><session id=\"S-" + user + "\" accessLevel=\"" +
                                          std::to_string(level->second) + "\"/></license></Brovik>");
  }
  return LoopbackServer::Reply(200, "<Brovik/>");
}

class ProgramTest : public ::testing::Test {
 protected:
  std::string Title() const { return "Quillon"; }

  HWND SignIn(const Program& program, const std::string& user) {
    EXPECT_TRUE(program.Started());
    HWND dialog = gui::WaitForWindow("Log In", program.Pid());
    EXPECT_TRUE(dialog);
    if (!dialog) return nullptr;
    gui::SetText(gui::Control(dialog, "Edit", 0), user);
    gui::SetText(gui::Control(dialog, "Edit", 1), user);
    gui::Click(gui::Control(dialog, "Button", 1));
    return dialog;
  }

  HWND MainWindow(const Program& program) { return gui::WaitForWindowPrefix("Quillon V", program.Pid()); }

  std::vector<std::string> ClosingRequests() const {
    std::vector<std::string> sessions;
    for (const auto& request : server.Requests())
      if (request.target.find("func=2") != std::string::npos)
        sessions.push_back(PercentDecode(Parameter(request.target, "session")));
    return sessions;
  }

  LoopbackServer server{Answer};
  ProxySetting proxy{server.Port()};
};

TEST_F(ProgramTest, CancelAtTheFirstSignInEndsWithExitCodeZeroAndSendsNothing) {
  Program program(QUILLON_EXE);
  HWND dialog = gui::WaitForWindow("Log In", program.Pid());
  ASSERT_TRUE(dialog);
  gui::Click(gui::Control(dialog, "Button", 2));
  EXPECT_EQ(program.ExitCode(), 0);
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(ProgramTest, ASessionLeftByAnErrorAnswerIsClosedAtTheEnd) {
  Program program(QUILLON_EXE);
  HWND dialog = SignIn(program, "locked");
  EXPECT_EQ(gui::DismissMessageBox(Title(), program.Pid()), "Unable to log in: Locked (error code 7)");
  gui::Click(gui::Control(dialog, "Button", 2));
  EXPECT_EQ(program.ExitCode(), 0);
  EXPECT_EQ(ClosingRequests(), std::vector<std::string>{"S-locked"});
}

TEST_F(ProgramTest, SignInShowsTheUserAndExitClosesTheSession) {
  Program program(QUILLON_EXE);
  SignIn(program, "alice");
  HWND main = MainWindow(program);
  ASSERT_TRUE(main);
  EXPECT_EQ(gui::Text(gui::Control(main, "Static", 0)), "User name: alice");
  EXPECT_EQ(gui::Text(gui::Control(main, "Static", 1)), "Access level: Admin");
  RECT bounds{};
  GetWindowRect(main, &bounds);
  EXPECT_EQ(bounds.right - bounds.left, 763);
  EXPECT_EQ(bounds.bottom - bounds.top, 563);
  gui::ChooseFromPopup(gui::Control(main, "Button", 0), 1);
  EXPECT_EQ(program.ExitCode(), 0);
  EXPECT_EQ(ClosingRequests(), std::vector<std::string>{"S-alice"});
}

TEST_F(ProgramTest, LogOutAndSignInUnderAnotherNameShowsTheNewUser) {
  Program program(QUILLON_EXE);
  SignIn(program, "alice");
  HWND main = MainWindow(program);
  ASSERT_TRUE(main);
  gui::ChooseFromPopup(gui::Control(main, "Button", 0), 0);
  ASSERT_TRUE(gui::WaitUntil([&] { return !IsWindowVisible(main); }));
  SignIn(program, "bob");
  ASSERT_TRUE(gui::WaitUntil([&] { return IsWindowVisible(main) != FALSE; }));
  EXPECT_EQ(gui::Text(gui::Control(main, "Static", 0)), "User name: bob");
  EXPECT_EQ(gui::Text(gui::Control(main, "Static", 1)), "Access level: Tester");
  // Log Out itself sends nothing to the service.
  EXPECT_TRUE(ClosingRequests().empty());
  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
  EXPECT_EQ(ClosingRequests(), std::vector<std::string>{"S-bob"});
}

TEST_F(ProgramTest, LogOutThenCancelEndsWithoutASecondDialogOrClosingRequest) {
  Program program(QUILLON_EXE);
  SignIn(program, "alice");
  HWND main = MainWindow(program);
  ASSERT_TRUE(main);
  gui::ChooseFromPopup(gui::Control(main, "Button", 0), 0);
  HWND dialog = gui::WaitForWindow("Log In", program.Pid());
  ASSERT_TRUE(dialog);
  gui::Click(gui::Control(dialog, "Button", 2));
  EXPECT_EQ(program.ExitCode(5s), 0);
  EXPECT_TRUE(ClosingRequests().empty());
}

TEST_F(ProgramTest, ToolsButtonKeepsItsDistanceFromTheRightEdgeWhenResized) {
  Program program(QUILLON_EXE);
  SignIn(program, "alice");
  HWND main = MainWindow(program);
  ASSERT_TRUE(main);
  for (const int width : {763, 500, 1000}) {
    SetWindowPos(main, nullptr, 0, 0, width, 400, SWP_NOMOVE | SWP_NOZORDER);
    HWND button = gui::Control(main, "Button", 0);
    HWND bar = GetParent(button);
    EXPECT_TRUE(gui::WaitUntil(
        [&] {
          RECT b{}, p{};
          GetWindowRect(button, &b);
          GetWindowRect(bar, &p);
          RECT client{};
          GetClientRect(main, &client);
          return p.right - b.right == 8 && b.right - b.left == 43 && b.bottom - b.top == 25 &&
                 p.right - p.left == client.right && p.bottom - p.top == 41;
        },
        3s))
        << "width " << width;
  }
  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(), 0);
}

TEST_F(ProgramTest, CaptionCarriesTheTrimmedFileVersion) {
  const struct {
    const char* path;
    const char* caption;
  } cases[] = {{QUILLON_EXE_4690, "Quillon V4.6.9"}, {QUILLON_EXE_NO_VERSION, "Quillon V"}};
  for (const auto& c : cases) {
    Program program(c.path);
    SignIn(program, "alice");
    HWND main = MainWindow(program);
    ASSERT_TRUE(main) << c.path;
    EXPECT_EQ(gui::Text(main), c.caption);
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.ExitCode(), 0);
  }
}

}  // namespace
