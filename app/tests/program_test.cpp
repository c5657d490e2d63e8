// What the end-to-end tests against the reference service cannot show: Quillon.exe under answers that
// service never gives, and builds with other version resources. A loopback service stands behind the
// system's proxy setting.
#include <gtest/gtest.h>

#include "service/base64.h"
#include "service/request.h"
#include "service/tests/loopback_server.h"
#include "service/tests/proxy_setting.h"
#include "tools/gui/driver.h"

namespace {

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
  LoopbackServer server{Answer};
  ProxySetting proxy{server.Port()};
};

TEST_F(ProgramTest, ASessionLeftByAnErrorAnswerIsClosedAtTheEnd) {
  Program program(QUILLON_EXE);
  const auto dialog = gui::AwaitSignInDialog(program.Pid());
  dialog.SignIn("locked", "");
  EXPECT_EQ(gui::DismissMessageBox("Quillon", program.Pid()), "Unable to log in: Locked (error code 7)");
  dialog.AwaitReady();
  gui::Click(dialog.Cancel());
  EXPECT_EQ(program.ExitCode(), 0);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[1].target.ends_with("func=2&session=S-locked")) << requests[1].target;
}

// One start per build: the caption carries its version, and the bar keeps the Tools button at the right.
TEST_F(ProgramTest, CaptionCarriesTheTrimmedFileVersionAndToolsKeepsToTheRightEdge) {
  const struct {
    const char* path;
    const char* caption;
  } cases[] = {{QUILLON_EXE_4690, "Quillon V4.6.9"}, {QUILLON_EXE_NO_VERSION, "Quillon V"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    Program program(c.path);
    gui::AwaitSignInDialog(program.Pid()).SignIn("alice", "");
    const auto main = gui::AwaitMainWindow(program.Pid());
    EXPECT_EQ(gui::Text(main.Handle()), c.caption);
    RECT bounds{};
    GetWindowRect(main.Handle(), &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 763);
    EXPECT_EQ(bounds.bottom - bounds.top, 563);
    for (const int width : {500, 1000}) {
      SetWindowPos(main.Handle(), nullptr, 0, 0, width, 400, SWP_NOMOVE | SWP_NOZORDER);
      HWND button = main.ToolsButton();
      HWND bar = GetParent(button);
      gui::Await("the bar and its Tools button follow the width " + std::to_string(width), [&] {
        RECT b{}, p{}, client{};
        GetWindowRect(button, &b);
        GetWindowRect(bar, &p);
        GetClientRect(main.Handle(), &client);
        return p.right - b.right == 8 && b.right - b.left == 43 && b.bottom - b.top == 25 &&
               p.right - p.left == client.right && p.bottom - p.top == 41;
      });
    }
    PostMessageA(main.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.ExitCode(), 0);
  }
}

}  // namespace
