// What the end-to-end tests against the reference service cannot show: Quillon.exe under answers that
// service never gives, and builds with other version resources. A loopback service stands behind the
// system's proxy setting.
#include <gtest/gtest.h>

#include "service/base64.h"
#include "service/request.h"
#include "service/tests/loopback_server.h"
#include "service/tests/proxy_setting.h"
#include "session/tests/gui_driver.h"

namespace {

using namespace std::chrono_literals;
using gui::Program;

// "locked" gets an error with a session, as a faulty service might send; anyone else signs in.
LoopbackServer::Response Answer(const LoopbackServer::Request& request) {
  if (request.target.find("&key=" + UrlEncode(EncodeBase64("locked|"))) != std::string::npos)
    return LoopbackServer::Reply(
        200, R"(<Brovik><license><error code="7">Locked</error><session id="S-locked"/></license></Brovik>)");
  return LoopbackServer::Reply(200,
                               R"(<Brovik><license><session id="S-1" accessLevel="6"/></license></Brovik>)");
}

class ProgramTest : public ::testing::Test {
 protected:
  static HWND SignIn(const Program& program, const std::string& user) {
    EXPECT_TRUE(program.Started());
    HWND dialog = gui::WaitForWindow("Log In", program.Pid());
    EXPECT_TRUE(dialog);
    if (!dialog) return nullptr;
    gui::SetText(gui::Control(dialog, "Edit", 0), user);
    gui::SetText(gui::Control(dialog, "Edit", 1), "");
    gui::Click(gui::Control(dialog, "Button", 1));
    return dialog;
  }

  static HWND MainWindow(const Program& program) {
    return gui::WaitForWindowPrefix("Quillon V", program.Pid());
  }

  LoopbackServer server{Answer};
  ProxySetting proxy{server.Port()};
};

TEST_F(ProgramTest, ASessionLeftByAnErrorAnswerIsClosedAtTheEnd) {
  Program program(QUILLON_EXE);
  HWND dialog = SignIn(program, "locked");
  EXPECT_EQ(gui::DismissMessageBox("Quillon", program.Pid()), "Unable to log in: Locked (error code 7)");
  gui::Click(gui::Control(dialog, "Button", 2));
  EXPECT_EQ(program.ExitCode(), 0);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[1].target.ends_with("func=2&session=S-locked")) << requests[1].target;
}

TEST_F(ProgramTest, ToolsButtonKeepsItsDistanceFromTheRightEdgeWhenResized) {
  Program program(QUILLON_EXE);
  SignIn(program, "alice");
  HWND main = MainWindow(program);
  ASSERT_TRUE(main);
  RECT bounds{};
  GetWindowRect(main, &bounds);
  EXPECT_EQ(bounds.right - bounds.left, 763);
  EXPECT_EQ(bounds.bottom - bounds.top, 563);
  for (const int width : {500, 1000}) {
    SetWindowPos(main, nullptr, 0, 0, width, 400, SWP_NOMOVE | SWP_NOZORDER);
    HWND button = gui::Control(main, "Button", 0);
    HWND bar = GetParent(button);
    EXPECT_TRUE(gui::WaitUntil(
        [&] {
          RECT b{}, p{}, client{};
          GetWindowRect(button, &b);
          GetWindowRect(bar, &p);
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
