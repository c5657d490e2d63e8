#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "quillon_config.h"
#include "service/base64.h"
#include "service/request.h"
#include "session/login_form.h"
#include "session/session_state.h"
#include "tools/testing/gui/driver.h"
#include "tools/testing/loopback_server.h"
#include "tools/testing/proxy_setting.h"
#include "ui/accessible.h"
#include "ui/form.h"
#include "ui/message.h"
#include "win32/executable.h"

namespace {

using namespace std::chrono_literals;

const std::string SessionAnswer =
    R"(<Brovik><license><session id="S-1" accessLevel="6"/></license></Brovik>)";

std::string Title() { return ApplicationTitle(ExecutableFileName(), SystemCodePage()); }

HCURSOR ScreenCursor() {
  CURSORINFO cursor{};
  cursor.cbSize = sizeof cursor;
  GetCursorInfo(&cursor);
  return cursor.hCursor;
}

// Path and query of an absolute address: a proxy request may name the default port or not.
std::string PathAndQuery(const std::string& address) {
  const auto host = address.find("://");
  return host == std::string::npos ? address : address.substr(address.find('/', host + 3));
}

std::string ServiceTarget(const std::string& tail) {
  return PathAndQuery(std::string(ServiceBaseAddress) + tail);
}

// The dialog under test, shown modally on the test's thread while a script drives it from another.
class LogInFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Application.Initialize(GetModuleHandleA(nullptr)); }

  void SetUp() override { SessionState = {}; }

  // Runs script on a thread of its own, since the test's thread is held by the dialog or a message box.
  std::thread Drive(const std::function<void()>& script) {
    return std::thread([this, script] {
      try {
        script();
      } catch (const gui::EStepFailed& failed) {
        ADD_FAILURE() << failed.what();
      }
      // A script that failed half-way must not leave the test's thread waiting.
      if (!gui::WaitUntil([&] { return !form_.Visible(); }, 5s)) {
        if (HWND box = gui::FindVisible(Title(), GetCurrentProcessId())) PostMessageA(box, WM_CLOSE, 0, 0);
        PostMessageA(form_.Handle(), WM_CLOSE, 0, 0);
      }
    });
  }

  // From the first tab stop, where each showing starts, on to control with Tab.
  void TabTo(HWND control) {
    gui::AwaitFocus(form_.Handle(), form_.UserEdit);
    for (HWND next : {form_.PasswordEdit, form_.RememberMeCheckBox, form_.LogInButton, form_.CancelButton,
                      form_.UsernameLabel, form_.PasswordLabel}) {
      gui::PressKey(gui::FocusOf(form_.Handle()).Focus, VK_TAB);
      gui::AwaitFocus(form_.Handle(), next);
      if (next == control) return;
    }
  }

  TModalResult RunModal(const std::function<void()>& script) {
    std::thread driver = Drive([&] {
      gui::Await("the dialog shows", [&] { return form_.Visible(); });
      script();
    });
    const TModalResult result = form_.ShowModal();
    driver.join();
    return result;
  }

  std::string answer_ = SessionAnswer;
  std::atomic<int> enabledDuringRequest_{-1};
  std::atomic<HCURSOR> cursorDuringRequest_{nullptr};
  TLoopbackServer server_{[this](const auto&) {
    enabledDuringRequest_ = IsWindowEnabled(form_.LogInButton) ? 1 : 0;
    cursorDuringRequest_ = ScreenCursor();
    return TLoopbackServer::Reply(200, answer_);
  }};
  TProxySetting proxy_{server_.Port()};
  TLogInForm form_;
};

TEST_F(LogInFormTest, SuccessClosesWithOkAndFillsTheSession) {
  const auto result = RunModal([&] {
    gui::SetText(form_.UserEdit, "alice");
    gui::SetText(form_.PasswordEdit, "s3cret+");
    gui::Click(form_.LogInButton);
  });
  EXPECT_EQ(result, TModalResult::OK);
  // The hourglass while the service held its answer, the arrow again once it was in.
  EXPECT_EQ(cursorDuringRequest_, LoadCursorA(nullptr, IDC_WAIT));
  EXPECT_EQ(ScreenCursor(), LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(SessionState.UserName, "alice");
  EXPECT_EQ(SessionState.SessionId, "S-1");
  EXPECT_EQ(SessionState.AccessLevel, 6);
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(PathAndQuery(server_.Requests()[0].Target),
            ServiceTarget("1&key=" + UrlEncode(EncodeBase64("alice|s3cret+"))));
}

TEST_F(LogInFormTest, ErrorWithASessionIsReportedAndTheDialogStaysOpen) {
  answer_ =
      R"(<Brovik><license><error code="3">Account locked</error><session id="S-3"/></license></Brovik>)";
  const auto result = RunModal([&] {
    gui::Click(form_.LogInButton);
    EXPECT_EQ(gui::DismissMessageBox(Title()), "Unable to log in: Account locked (error code 3)");
    EXPECT_TRUE(form_.Visible());
    gui::TSignInDialog(form_.Handle()).AwaitReady();
    gui::Click(form_.CancelButton);
  });
  EXPECT_EQ(result, TModalResult::Cancel);
  EXPECT_EQ(SessionState.SessionId, "S-3");
}

TEST_F(LogInFormTest, UnreachableServiceClosesWithCancel) {
  TProxySetting nowhere{TLoopbackServer::ClosedPort()};
  const auto result = RunModal([&] {
    gui::Click(form_.LogInButton);
    EXPECT_EQ(gui::DismissMessageBox(Title()), "Failed to connect to server");
  });
  EXPECT_EQ(result, TModalResult::Cancel);
  EXPECT_EQ(SessionState.SessionId, "");
  EXPECT_TRUE(IsWindowEnabled(form_.LogInButton));
}

TEST_F(LogInFormTest, EmptyFieldsSendTheKeyOfTheBarWithTheButtonDisabledMeanwhile) {
  answer_ = "";
  RunModal([&] {
    gui::SetText(form_.UserEdit, "");
    gui::SetText(form_.PasswordEdit, "");
    gui::Click(form_.LogInButton);
    EXPECT_EQ(gui::DismissMessageBox(Title()), "Invalid session");
    gui::TSignInDialog(form_.Handle()).AwaitReady();
    gui::Click(form_.CancelButton);
  });
  EXPECT_EQ(enabledDuringRequest_, 0);
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(PathAndQuery(server_.Requests()[0].Target), ServiceTarget("1&key=fA%3D%3D"));
}

// Waiting together when the dialog starts: the Enter signs in, and the click and the Enter behind it are
// read, with the button disabled, before the request goes out.
TEST_F(LogInFormTest, EnterSignsInOnceWhateverWaitsBehindItAndEscapeCancels) {
  answer_ = "<Brovik/>";
  gui::PressKey(form_.UserEdit, VK_RETURN);
  gui::Click(form_.LogInButton);
  gui::PressKey(form_.UserEdit, VK_RETURN);
  const auto result = RunModal([&] {
    EXPECT_EQ(gui::DismissMessageBox(Title()), "Invalid session");
    gui::TSignInDialog(form_.Handle()).AwaitReady();
    gui::PressKey(form_.UserEdit, VK_ESCAPE);
  });
  EXPECT_EQ(result, TModalResult::Cancel);
  EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(LogInFormTest, EndSessionSendsTheEscapedSessionIdentifier) {
  SessionState.SessionId = "a+b=c&d";
  answer_ = R"(<Brovik><license><session id="a+b=c&amp;d"/></license></Brovik>)";
  form_.EndSession();
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(PathAndQuery(server_.Requests()[0].Target), ServiceTarget("2&session=a%2Bb%3Dc%26d"));
  EXPECT_EQ(form_.ModalResult(), TModalResult::OK);
}

TEST_F(LogInFormTest, EndSessionWithAnEmptyIdentifierShowsInvalidSession) {
  SessionState.SessionId = "S-9";
  answer_ = R"(<Brovik><license><session id=""/></license></Brovik>)";
  std::thread driver = Drive([] { EXPECT_EQ(gui::DismissMessageBox(Title()), "Invalid session"); });
  form_.EndSession();
  driver.join();
  EXPECT_EQ(SessionState.SessionId, "");
}

// The box belongs to the active form; the other windows wait for it, and the form is active again after.
TEST_F(LogInFormTest, AMessageBoxHoldsEveryWindowAndGivesTheActiveFormBack) {
  TLogInForm other;
  other.Show();
  form_.Show();
  std::thread driver([&] {
    try {
      EXPECT_EQ(GetWindow(gui::Window(Title(), GetCurrentProcessId()), GW_OWNER), form_.Handle());
      EXPECT_FALSE(IsWindowEnabled(other.Handle()));
      EXPECT_EQ(gui::DismissMessageBox(Title()), "Held");
    } catch (const gui::EStepFailed& failed) {
      ADD_FAILURE() << failed.what();
    }
  });
  ShowMessage("Held");
  driver.join();
  EXPECT_TRUE(IsWindowEnabled(other.Handle()));
  gui::AwaitFocus(form_.Handle(), form_.UserEdit);
}

TEST_F(LogInFormTest, LayoutAtNinetySixDpi) {
  EXPECT_EQ(form_.Caption(), "Log In");
  RECT client{};
  GetClientRect(form_.Handle(), &client);
  EXPECT_EQ(client.right, 284);
  EXPECT_EQ(client.bottom, 111);
  const struct {
    HWND Control;
    RECT Expected;  // left, top, right, bottom in client pixels
  } cases[] = {
      {form_.UserEdit, {8, 24, 129, 45}},           {form_.PasswordEdit, {136, 24, 257, 48}},
      {form_.RememberMeCheckBox, {8, 48, 105, 65}}, {form_.LogInButton, {152, 72, 200, 97}},
      {form_.CancelButton, {208, 72, 256, 97}},     {form_.UsernameLabel, {8, 69, 98, 82}},
      {form_.PasswordLabel, {8, 87, 98, 100}},
  };
  for (const auto& c : cases) {
    RECT r{};
    GetWindowRect(c.Control, &r);
    MapWindowPoints(nullptr, form_.Handle(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, c.Expected.left);
    EXPECT_EQ(r.top, c.Expected.top);
    EXPECT_EQ(r.right, c.Expected.right);
    EXPECT_EQ(r.bottom, c.Expected.bottom);
  }
  EXPECT_EQ(WindowText(form_.PasswordEdit), "ABC");
  EXPECT_NE(GetWindowLongA(form_.PasswordEdit, GWL_STYLE) & ES_PASSWORD, 0);
  EXPECT_EQ(WindowText(form_.UsernameLabel), "Forgot username?");
  EXPECT_EQ(WindowText(form_.PasswordLabel), "Forgot password?");
}

// The shell's handler of https addresses, replaced while the test runs by one that notes the addresses it
// is asked to open, so that no browser starts. Wine reads the handler from the machine's classes only.
class THttpsOpenings {
 public:
  THttpsOpenings() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    file_ = std::string(folder) + "quillon-opened.txt";
    DeleteFileA(file_.c_str());
    original_.resize(MAX_PATH);
    DWORD size = MAX_PATH;
    RegGetValueA(HKEY_LOCAL_MACHINE, Key, nullptr, RRF_RT_REG_SZ, nullptr, original_.data(), &size);
    original_.resize(std::strlen(original_.c_str()));
    Set("C:\\windows\\system32\\cmd.exe /c echo %1>>\"" + file_ + '"');
  }
  ~THttpsOpenings() {
    Set(original_);
    DeleteFileA(file_.c_str());
  }
  THttpsOpenings(const THttpsOpenings&) = delete;
  THttpsOpenings& operator=(const THttpsOpenings&) = delete;

  // Whether the handler of an opening still runs: its console takes the activation from the dialog
  // while it comes and goes, and a key pressed meanwhile would be lost.
  static bool Running() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (bool more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
      found = lstrcmpiA(entry.szExeFile, "cmd.exe") == 0 || lstrcmpiA(entry.szExeFile, "conhost.exe") == 0;
    CloseHandle(snapshot);
    return found;
  }

  std::vector<std::string> Opened() const {
    std::vector<std::string> lines;
    std::ifstream in(file_);
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
    return lines;
  }

 private:
  static constexpr char Key[] = "Software\\Classes\\https\\shell\\open\\command";
  static void Set(const std::string& command) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, Key, nullptr, REG_SZ, command.c_str(),
                    static_cast<DWORD>(command.size() + 1));
  }
  std::string file_, original_;
};

TEST_F(LogInFormTest, KeyboardReachesTheLinksAfterCancelAndEnterSpaceOrAScreenReaderOpensTheirPages) {
  const THttpsOpenings openings;
  // Opening a page hands the focus to the browser, so each page is opened by a showing of its own.
  const struct {
    HWND Link;
    WPARAM Key;  // 0: the default action of its accessible object, as a screen reader's command does it
  } presses[] = {{form_.UsernameLabel, VK_RETURN}, {form_.PasswordLabel, VK_SPACE}, {form_.PasswordLabel, 0}};
  for (const auto& press : presses) {
    const auto result = RunModal([&] {
      TabTo(press.Link);
      const std::size_t opened = openings.Opened().size();
      if (press.Key)
        gui::PressKey(press.Link, press.Key);
      else
        EXPECT_EQ(gui::ClientObject(press.Link)->accDoDefaultAction(gui::Self), S_OK);
      // Each opening starts a process, which a busy machine may take a while to run.
      constexpr auto Started = 30s;
      const auto openedAndDone = [&](std::size_t count) {
        return openings.Opened().size() == count && !THttpsOpenings::Running();
      };
      gui::Await(
          "the key opens a page", [&] { return openedAndDone(opened + 1); }, Started);
      // A click opens it as well.
      PostMessageA(press.Link, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      gui::Await(
          "a click opens a page", [&] { return openedAndDone(opened + 2); }, Started);
      gui::PressKey(press.Link, VK_ESCAPE);
    });
    // Enter on a link opened it and did not sign in.
    EXPECT_EQ(result, TModalResult::Cancel);
  }
  EXPECT_TRUE(server_.Requests().empty());
  const std::string site = "https://" QUILLON_ACCOUNT_SITE_HOST "/Account/";
  EXPECT_EQ(openings.Opened(), (std::vector<std::string>{site + "ForgotUserName", site + "ForgotUserName",
                                                         site + "ForgotPassword", site + "ForgotPassword",
                                                         site + "ForgotPassword", site + "ForgotPassword"}));
}

// What a screen reader learns of the dialog and its links; Wine's standard objects give the names.
TEST_F(LogInFormTest, TheDialogAndItsLinksAreADialogAndLinksToScreenReaders) {
  const struct {
    HWND Window;
    LONG Role;
    const wchar_t* Name;
    LONG State;  // what the form adds to the standard object's state
    const wchar_t* Action;
  } objects[] = {
      {form_.Handle(), ROLE_SYSTEM_DIALOG, L"Log In", 0, L""},
      {form_.UsernameLabel, ROLE_SYSTEM_LINK, L"Forgot username?", STATE_SYSTEM_LINKED, L"Jump"},
      {form_.PasswordLabel, ROLE_SYSTEM_LINK, L"Forgot password?", STATE_SYSTEM_LINKED, L"Jump"},
  };
  for (const auto& o : objects) {
    SCOPED_TRACE(gui::Text(o.Window));
    const auto object = gui::ClientObject(o.Window);
    VARIANT role{}, state{};
    BSTR name = nullptr, action = nullptr;
    ASSERT_EQ(object->get_accRole(gui::Self, &role), S_OK);
    EXPECT_EQ(role.lVal, o.Role);
    ASSERT_EQ(object->get_accState(gui::Self, &state), S_OK);
    EXPECT_EQ(state.lVal & o.State, o.State);
    object->get_accName(gui::Self, &name);
    EXPECT_EQ(gui::Taken(name), o.Name);
    object->get_accDefaultAction(gui::Self, &action);
    EXPECT_EQ(gui::Taken(action), o.Action);
  }
  // What walks the tree, the children and the window, is the same one object as the rest.
  const auto dialog = gui::ClientObject(form_.Handle());
  TComPtr<IUnknown> self, fromChildren;
  TComPtr<IEnumVARIANT> children;
  TComPtr<IOleWindow> window;
  ASSERT_EQ(dialog->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(children.Put())), S_OK);
  ASSERT_EQ(children->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(window.Put())), S_OK);
  HWND handle = nullptr;
  EXPECT_EQ(window->GetWindow(&handle), S_OK);
  EXPECT_EQ(handle, form_.Handle());
  dialog->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(self.Put()));
  window->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(fromChildren.Put()));
  EXPECT_EQ(self.Get(), fromChildren.Get());
  // A reader that holds a link's object after the link has gone gets a failure, not a crash.
  const auto held = gui::ClientObject(form_.UsernameLabel);
  DestroyWindow(form_.UsernameLabel);
  EXPECT_TRUE(FAILED(held->accDoDefaultAction(gui::Self)));
}

}  // namespace
