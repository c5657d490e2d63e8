// The shipped program end to end: Quillon.exe, driven through its own windows, against the reference
// account service, which e2e-run starts for each case and which the program reaches through the proxy
// setting.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/testing/gui/driver.h"
#include "tools/testing/gui/screenshot.h"
#include "tools/testing/proxy_setting.h"

namespace {

using namespace std::chrono_literals;

const std::string Title = "Quillon";

// One line of the service's request log.
struct TRequest {
  std::string Func;
  std::string Params;
  std::string Outcome;
};

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The session identifier that a successful sign-in line reports ("session ID level N").
std::string GrantedSession(const TRequest& request) {
  std::istringstream words(request.Outcome);
  std::string word, id;
  words >> word >> id;
  return word == "session" ? id : "";
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = Environment("QUILLON_E2E_BASE");
    const std::string port = Environment("QUILLON_E2E_PORT");
    ASSERT_FALSE(base_.empty() || port.empty()) << "run by e2e-run, which starts the service";
    proxy_.emplace(static_cast<std::uint16_t>(std::stoi(port)));
    gui::ForgetRememberedCredentials();
  }

  void TearDown() override {
    // A failure keeps the planned last screen and adds the screen as it was left.
    if (!base_.empty() && HasFailure())
      Snapshot("failure");
    else if (!base_.empty() && !shot_)
      Snapshot();
    program_.reset();
    gui::ForgetRememberedCredentials();
    proxy_.reset();
  }

  const gui::TProgram& Start() {
    program_.emplace(QUILLON_EXE);
    return *program_;
  }
  DWORD Pid() const { return program_->Pid(); }
  long ExitCode() const { return program_->ExitCode(); }

  gui::TSignInDialog Dialog() const { return gui::AwaitSignInDialog(Pid()); }
  gui::TMainWindow MainWindow() const { return gui::AwaitMainWindow(Pid()); }

  // Types into the sign-in dialog and presses "Log In"; returns the dialog.
  gui::TSignInDialog SignIn(const std::string& user, const std::string& password) const {
    const auto dialog = Dialog();
    dialog.SignIn(user, password);
    return dialog;
  }

  std::vector<TRequest> Requests() const {
    std::vector<TRequest> requests;
    std::ifstream log(gui::WindowsPath(base_ + ".service.log"), std::ios::binary);
    for (std::string line; std::getline(log, line);) {
      std::vector<std::string> fields;
      std::istringstream split(line);
      for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
      fields.resize(4);
      requests.push_back({fields[1], fields[2], fields[3]});
    }
    return requests;
  }

  // Has e2e-run stop the service, and waits until it has ended.
  void StopService() const {
    const std::string stop = gui::WindowsPath(base_ + ".stop");
    { std::ofstream create(stop); }
    gui::Await("the service stops",
               [&] { return GetFileAttributesA(stop.c_str()) == INVALID_FILE_ATTRIBUTES; });
  }

  // The screen as the user sees it now, beside the case's log; a label tells several of one case apart.
  void Snapshot(const std::string& label = "") {
    shot_ = true;
    const std::string path = base_ + (label.empty() ? "" : "-" + label) + ".bmp";
    EXPECT_TRUE(gui::SaveScreen(gui::WindowsPath(path))) << path;
  }

 private:
  std::string base_;
  bool shot_ = false;
  std::optional<TProxySetting> proxy_;
  std::optional<gui::TProgram> program_;
};

// Each run ends another way; either way the end closes the session that the sign-in got.
TEST_F(EndToEndTest, SignInShowsTheUserAndTheLevelNameAndTheEndClosesTheSession) {
  const struct {
    const char* User;
    const char* Password;
    const char* Level;
    const char* LevelName;
    bool ExitItem;
  } cases[] = {
      {"alice", "wonderland", "2", "Pro user", true},
      {"adam", "admin", "6", "Admin", false},
      {"otto", "other", "8", "User", true},  // a level without a name of its own
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.User);
    const auto before = Requests().size();
    const auto& program = Start();
    SignIn(c.User, c.Password);
    const auto main = MainWindow();
    EXPECT_EQ(main.Labels(), (std::vector<std::string>{std::string("User name: ") + c.User,
                                                       std::string("Access level: ") + c.LevelName}));
    Snapshot();
    if (c.ExitItem)
      main.Exit(program);
    else
      PostMessageA(main.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitCode(), 0);
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), before + 2);
    EXPECT_EQ(requests[before].Func, "1");
    EXPECT_TRUE(requests[before].Params.ends_with(std::string(" user=") + c.User)) << requests[before].Params;
    EXPECT_TRUE(requests[before].Outcome.ends_with(std::string(" level ") + c.Level))
        << requests[before].Outcome;
    const std::string session = GrantedSession(requests[before]);
    ASSERT_EQ(session.size(), 32u) << requests[before].Outcome;
    EXPECT_EQ(requests[before + 1].Func, "2");
    EXPECT_EQ(requests[before + 1].Params, "session=" + session);
    EXPECT_EQ(requests[before + 1].Outcome, "closed " + session);
  }
}

// A space, "&" and a byte above 127 in the name, "|" in the password, "+" and "/" in the key.
TEST_F(EndToEndTest, ANameThatNeedsEscapingSignsInAndShowsInTheLabel) {
  const std::string user = "Zo\xEB Smith&Co";
  Start();
  SignIn(user, "x>y|z");
  const auto main = MainWindow();
  EXPECT_EQ(main.Labels(), (std::vector<std::string>{"User name: " + user, "Access level: Tester"}));
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Params, "key=Wm/rIFNtaXRoJkNvfHg+eXx6 user=Zo\\xeb\\x20Smith&Co");
  Snapshot();
  PostMessageA(main.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCode(), 0);
}

TEST_F(EndToEndTest, AFailedSignInShowsTheServiceMessageAndTheDialogStaysForAnotherTry) {
  const struct {
    const char* User;
    const char* Password;
    const char* Message;
    const char* Shot;
  } failures[] = {
      {"alice", "Wonderland", "Unable to log in: Wrong password (error code 2)", "wrong-password"},
      {"alicia", "wonderland", "Unable to log in: Unknown user (error code 1)", "unknown-user"},
  };
  Start();
  // The focus starts at the first tab stop, and is where the user left it when the dialog is active again.
  const auto first = Dialog();
  gui::AwaitFocus(first.Handle(), first.UserEdit());
  gui::PressKey(first.UserEdit(), VK_TAB);
  gui::AwaitFocus(first.Handle(), first.PasswordEdit());
  gui::SwitchAwayAndBack(first.Handle());
  gui::AwaitFocus(first.Handle(), first.PasswordEdit());
  for (const auto& f : failures) {
    SCOPED_TRACE(f.Message);
    const auto dialog = SignIn(f.User, f.Password);
    gui::Window(Title, Pid());
    Snapshot(f.Shot);
    EXPECT_EQ(gui::DismissMessageBox(Title, Pid()), f.Message);
    dialog.AwaitReady();
    // "Log In" was pressed, and has the focus again after the request and the box.
    gui::AwaitFocus(dialog.Handle(), dialog.LogIn());
    EXPECT_FALSE(gui::FindVisible(gui::MainCaptionPrefix, Pid(), true));
  }
  SignIn("alice", "wonderland");
  const auto main = MainWindow();
  gui::AwaitFocus(main.Handle(), main.ToolsButton());
  EXPECT_EQ(main.Labels()[0], "User name: alice");
  Snapshot();
  PostMessageA(main.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCode(), 0);
}

TEST_F(EndToEndTest, LogOutAndASignInUnderAnotherNameShowTheNewUser) {
  const auto& program = Start();
  const auto dialog = Dialog();
  EXPECT_TRUE(gui::Centred(dialog.Handle()));
  SetWindowPos(dialog.Handle(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  dialog.SignIn("alice", "wonderland");
  const auto main = MainWindow();
  main.LogOut();
  // Wherever it was moved, the dialog comes back in the middle.
  EXPECT_TRUE(gui::Centred(Dialog().Handle()));
  SignIn("tessa", "tester");
  gui::Await("the main window comes back", [&] { return IsWindowVisible(main.Handle()) != FALSE; });
  EXPECT_EQ(main.Labels(), (std::vector<std::string>{"User name: tessa", "Access level: Tester"}));
  Snapshot();
  // Log Out itself tells the service nothing; the end closes tessa's session only.
  main.Exit(program);
  EXPECT_EQ(ExitCode(), 0);
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Func + requests[1].Func + requests[2].Func, "112");
  EXPECT_EQ(requests[2].Params, "session=" + GrantedSession(requests[1]));
}

// The times that a control of another process takes the keyboard focus while action runs, as the window
// system reports them to a thread of this one. A dialog that focuses a control whenever it shows is seen
// showing so, however briefly: Wine 8 reports no showings themselves (EVENT_OBJECT_SHOW).
int FocusingsDuring(HWND control, const std::function<void()>& action) {
  static HWND watched;
  static std::atomic<int> count;
  watched = control;
  count = 0;
  std::atomic<DWORD> counting = 0;
  std::thread counter([&] {
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    const HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr,
        [](HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
          if (window == watched && object == OBJID_CLIENT) ++count;
        },
        pid, 0, WINEVENT_OUTOFCONTEXT);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the queue that the reports come to
    counting = GetCurrentThreadId();
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    UnhookWinEvent(hook);
  });
  // The hook is set once its thread is known, which takes no longer than starting the thread.
  while (!counting) std::this_thread::yield();
  std::exception_ptr failure;
  try {
    action();
  } catch (...) {
    failure = std::current_exception();
  }
  // Behind every report that came before.
  PostThreadMessageA(counting, WM_QUIT, 0, 0);
  counter.join();
  if (failure) std::rethrow_exception(failure);
  return count;
}

TEST_F(EndToEndTest, LogOutThenCancelEndsWithoutASecondDialogOrClosingRequest) {
  Start();
  const auto first = SignIn("alice", "wonderland");
  const auto main = MainWindow();
  // Each showing of the dialog starts at the user name.
  const int showings = FocusingsDuring(first.UserEdit(), [&] {
    main.LogOut();
    const auto dialog = Dialog();
    Snapshot();
    gui::Click(dialog.Cancel());
    EXPECT_EQ(ExitCode(), 0);
  });
  // Once after Log Out, and not even for a moment again after Cancel.
  EXPECT_EQ(showings, 1);
  // Log Out emptied the session, so there was nothing left to close.
  EXPECT_EQ(Requests().size(), 1u);
}

TEST_F(EndToEndTest, AServiceStoppedMidRunFailsTheNextSignInAndTheProgramEnds) {
  Start();
  SignIn("alice", "wonderland");
  MainWindow().LogOut();
  Dialog();
  ASSERT_NO_FATAL_FAILURE(StopService());
  SignIn("alice", "wonderland");
  gui::Window(Title, Pid());
  Snapshot();
  EXPECT_EQ(gui::DismissMessageBox(Title, Pid()), "Failed to connect to server");
  EXPECT_EQ(ExitCode(), 0);
  // Only the first sign-in reached the service; with no session left there was nothing to close.
  EXPECT_EQ(Requests().size(), 1u);
}

}  // namespace
