// Remembered credentials across starts of the real program: Quillon.exe runs as a process of its own, the
// test reads and plants the registry values between and during its runs.
#include <gtest/gtest.h>

#include <optional>

#include "credentials/credentials_store.h"
#include "tools/testing/fake_service.h"
#include "tools/testing/gui/driver.h"
#include "tools/testing/proxy_setting.h"

namespace {

using gui::TFields;
using gui::TProgram;

const std::string KeyPath(CredentialsKeyPath);
const std::string UserValue(UsernameValueName);
const std::string PasswordValue(PasswordValueName);

std::optional<std::string> TRawValue(const std::string& name) {
  char data[1024];
  DWORD size = sizeof data;
  if (RegGetValueA(HKEY_CURRENT_USER, KeyPath.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::string(data);
}

// The text a value deciphers to; nullopt when the value is absent.
std::optional<std::string> Remembered(const std::string& name) {
  const auto stored = TRawValue(name);
  if (!stored) return std::nullopt;
  return CipherEnvelope(*stored, CredentialsKey, false);
}

void Plant(const std::string& name, const std::string& text) {
  const std::string stored = CipherEnvelope(text, CredentialsKey, true);
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, KeyPath.c_str(), name.c_str(), REG_SZ, stored.c_str(),
                            static_cast<DWORD>(stored.size() + 1)),
            ERROR_SUCCESS);
}

const TFields Initial{"", "ABC", false};

// alice signs in with the password "alice", "garbled" gets an answer that does not parse, anything else is
// refused with "Wrong password" (code 2). Closing requests are accepted.
const TFakeService::TScript Script{
    .SignIns = {{"alice", "alice", TFakeService::Session("S-alice", 6)},
                {"garbled", "x", TLoopbackServer::Reply(200, "<Brovik><license><session id=")}},
};

class RememberedCredentialsTest : public ::testing::Test {
 protected:
  void SetUp() override { gui::ForgetRememberedCredentials(); }
  void TearDown() override { gui::ForgetRememberedCredentials(); }

  std::size_t ClosingRequests() const {
    std::size_t count = 0;
    for (const auto& request : server_.Requests())
      count += request.Target.find("func=2&") != std::string::npos;
    return count;
  }

  TFakeService server_{Script};
  TProxySetting proxy_{server_.Port()};
};

TEST_F(RememberedCredentialsTest, CheckedSignInFillsTheNextStartAndAnUncheckedOneForgets) {
  {
    TProgram program(QUILLON_EXE);
    const auto dialog = gui::AwaitSignInDialog(program.Pid());
    EXPECT_EQ(dialog.Shown(), Initial);
    dialog.Type({"alice", "alice", true});
    gui::Click(dialog.LogIn());
    const auto main = gui::AwaitMainWindow(program.Pid());
    EXPECT_EQ(Remembered(UserValue), "alice");
    EXPECT_EQ(Remembered(PasswordValue), "alice");
    // Enciphered, not as typed.
    EXPECT_NE(TRawValue(UserValue), "alice");
    main.Exit(program);
    EXPECT_EQ(program.ExitCode(), 0);
  }
  {
    TProgram program(QUILLON_EXE);
    const auto dialog = gui::AwaitSignInDialog(program.Pid());
    EXPECT_EQ(dialog.Shown(), (TFields{"alice", "alice", true}));
    gui::SetChecked(dialog.RememberMe(), false);
    gui::Click(dialog.LogIn());
    const auto main = gui::AwaitMainWindow(program.Pid());
    EXPECT_EQ(TRawValue(UserValue), std::nullopt);
    EXPECT_EQ(TRawValue(PasswordValue), std::nullopt);
    main.Exit(program);
    EXPECT_EQ(program.ExitCode(), 0);
  }
  {
    TProgram program(QUILLON_EXE);
    const auto dialog = gui::AwaitSignInDialog(program.Pid());
    EXPECT_EQ(dialog.Shown(), Initial);
    const std::size_t requests = server_.Requests().size();
    gui::Click(dialog.Cancel());
    EXPECT_EQ(program.ExitCode(), 0);
    EXPECT_EQ(server_.Requests().size(), requests);
  }
}

TEST_F(RememberedCredentialsTest, AFailedSignInStoresAndRemovesNothing) {
  Plant(UserValue, "alice");
  Plant(PasswordValue, "alice");
  const auto user = TRawValue(UserValue), password = TRawValue(PasswordValue);
  TProgram program(QUILLON_EXE);
  const auto dialog = gui::AwaitSignInDialog(program.Pid());
  ASSERT_EQ(dialog.Shown(), (TFields{"alice", "alice", true}));
  const struct {
    TFields Typed;
    const char* Message;
  } attempts[] = {
      {{"alice", "wrong", false}, "Unable to log in: Wrong password (error code 2)"},
      {{"mallory", "secret", true}, "Unable to log in: Wrong password (error code 2)"},
      {{"garbled", "x", false}, "Unable to log in: Error parsing response (error code -1)"},
  };
  for (const auto& attempt : attempts) {
    dialog.Type(attempt.Typed);
    gui::Click(dialog.LogIn());
    EXPECT_EQ(gui::DismissMessageBox("Quillon", program.Pid()), attempt.Message) << attempt.Typed;
    dialog.AwaitReady();
    EXPECT_EQ(TRawValue(UserValue), user) << attempt.Typed;
    EXPECT_EQ(TRawValue(PasswordValue), password) << attempt.Typed;
  }
  gui::Click(dialog.Cancel());
  EXPECT_EQ(program.ExitCode(), 0);
  EXPECT_EQ(ClosingRequests(), 0u);
  EXPECT_EQ(TRawValue(UserValue), user);
  EXPECT_EQ(TRawValue(PasswordValue), password);
}

// Whether by Exit or because Windows ends the session.
TEST_F(RememberedCredentialsTest, TheClosingRequestStoresAgainAsTheBoxWasLeft) {
  for (const bool windowsEnds : {false, true}) {
    for (const bool remember : {true, false}) {
      SCOPED_TRACE(std::string(remember ? "checked" : "unchecked") +
                   (windowsEnds ? ", end of session" : ", Exit"));
      TProgram program(QUILLON_EXE);
      const auto dialog = gui::AwaitSignInDialog(program.Pid());
      dialog.Type({"alice", "alice", remember});
      gui::Click(dialog.LogIn());
      const auto main = gui::AwaitMainWindow(program.Pid());
      // Undo behind the program's back what the sign-in did, so that only the closing request can redo it.
      if (remember) {
        gui::ForgetRememberedCredentials();
      } else {
        Plant(UserValue, "someone");
        Plant(PasswordValue, "else");
      }
      const std::size_t closingBefore = ClosingRequests();
      if (windowsEnds)
        ASSERT_TRUE(gui::EndWindowsSession()) << "wineboot --end-session did not end within 30 s";
      else
        main.Exit(program);
      EXPECT_EQ(program.ExitCode(), 0);
      EXPECT_EQ(ClosingRequests(), closingBefore + 1);
      const std::optional<std::string> expected =
          remember ? std::optional<std::string>("alice") : std::nullopt;
      EXPECT_EQ(Remembered(UserValue), expected);
      EXPECT_EQ(Remembered(PasswordValue), expected);
    }
  }
}

}  // namespace
