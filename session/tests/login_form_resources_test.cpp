// A long run of sign-in attempts and of remembered-credential cycles must leave the process holding what
// it held after the first few: no handle, GDI or USER object and no memory may pile up per round.
#include <windows.h>

#include <wininet.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <map>
#include <optional>

#include "credentials/registry_win32.h"
#include "service/request.h"
#include "session/login_form.h"
#include "session/protocol.h"
#include "tools/testing/gui/driver.h"
#include "tools/testing/loopback_server.h"
#include "tools/testing/process_counters.h"
#include "tools/testing/proxy_setting.h"
#include "ui/form.h"
#include "win32/executable.h"

namespace {

constexpr int WarmUpRounds = 100;
constexpr int Rounds = 1000;

struct TGrowth {
  long long Handles, GdiObjects, UserObjects, PrivateBytes, HeapBytes;
  friend std::ostream& operator<<(std::ostream& out, const TGrowth& g) {
    return out << "handles " << g.Handles << ", GDI " << g.GdiObjects << ", USER " << g.UserObjects
               << ", private " << g.PrivateBytes << " B, heap " << g.HeapBytes << " B";
  }
};
// TGrowth over a run that is no leak: a block or handle that the platform takes late, once. Private memory
// grows in 64 KiB steps; the heap figure is the fine one (a leak of 9 bytes a round exceeds it).
constexpr TGrowth Slack{4, 2, 0, 128 << 10, 8 << 10};

TGrowth operator-(const TProcessCounters& after, const TProcessCounters& before) {
  const auto d = [](auto to, auto from) { return static_cast<long long>(to) - static_cast<long long>(from); };
  return {d(after.Handles, before.Handles), d(after.GdiObjects, before.GdiObjects),
          d(after.UserObjects, before.UserObjects), d(after.PrivateBytes, before.PrivateBytes),
          d(after.HeapBytes, before.HeapBytes)};
}

// What a run of rounds adds after a warm-up of the same rounds.
TGrowth Measure(const char* what, const std::function<void(int)>& round) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < WarmUpRounds && !testing::Test::HasFatalFailure(); ++i) round(i);
  const TProcessCounters before = ReadProcessCounters();
  for (int i = WarmUpRounds; i < WarmUpRounds + Rounds && !testing::Test::HasFatalFailure(); ++i) round(i);
  const TProcessCounters after = ReadProcessCounters();
  const TGrowth growth = after - before;
  std::cout << what << ": " << Rounds << " rounds after " << WarmUpRounds << " of warm-up in "
            << std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() << " s\n  "
            << before << "\n  grew by " << growth << std::endl;
  return growth;
}

// TGrowth beyond what the baseline itself grew by.
void ExpectWithinSlack(const TGrowth& growth, const TGrowth& baseline = {}) {
  EXPECT_LE(growth.Handles - baseline.Handles, Slack.Handles);
  EXPECT_LE(growth.GdiObjects - baseline.GdiObjects, Slack.GdiObjects);
  EXPECT_LE(growth.UserObjects - baseline.UserObjects, Slack.UserObjects);
  EXPECT_LE(growth.PrivateBytes - baseline.PrivateBytes, Slack.PrivateBytes);
  EXPECT_LE(growth.HeapBytes - baseline.HeapBytes, Slack.HeapBytes);
}

// The real dialog, its requests and its parser, with the messages counted instead of shown: a thousand
// boxes to dismiss from another thread would take minutes, and the box is the system's.
class TQuietLogInForm : public TLogInForm {
 public:
  void Tell(const std::string& text) override { ++Messages[text]; }
  std::map<std::string, int> Messages;
};

struct TKind {
  const char* Name;
  const char* Answer;  // nullptr: nothing listens where the request goes
  const char* Message;
  TModalResult Result;
};

const TKind Kinds[] = {
    {"accepted", R"(<Brovik><license><session id="S-1" accessLevel="6"/></license></Brovik>)", "",
     TModalResult::OK},
    {"error answer", R"(<Brovik><license><error code="2">Wrong password</error></license></Brovik>)",
     "Unable to log in: Wrong password (error code 2)", TModalResult::None},
    {"malformed", R"(<Brovik><license><session id="S-1" accessLevel=)",
     "Unable to log in: Error parsing response (error code -1)", TModalResult::None},
    {"unreachable", nullptr, "Failed to connect to server", TModalResult::Cancel},
};

const TKind& KindOf(int round) { return Kinds[round % std::size(Kinds)]; }

// Wine's WinINet keeps some bytes for every request and for every new address, so every attempt signs in
// under the same name, and a bare WinINet run of the same requests tells what the platform keeps.
const std::string User = "alice", Password = "s3cret";

class LogInFormResourcesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Application.Initialize(GetModuleHandleA(nullptr)); }
  void SetUp() override {
    gui::ForgetRememberedCredentials();
    form_.Show();
  }
  void TearDown() override {
    form_.Hide();
    gui::ForgetRememberedCredentials();
  }

  // One press of "Log In"; the accepted ones alternate between storing and forgetting the credentials.
  void Attempt(int round) {
    const TKind& kind = KindOf(round);
    answer_ = kind.Answer ? kind.Answer : "";
    form_.SetUserText(User);
    form_.SetPasswordText(Password);
    form_.SetRememberMeChecked(round / std::size(Kinds) % 2 == 0);
    form_.SetModalResult(TModalResult::None);
    form_.Messages.clear();
    {
      std::optional<TProxySetting> nowhere;
      if (!kind.Answer) nowhere.emplace(closedPort_);
      SendMessageA(form_.LogInButton, BM_CLICK, 0, 0);
    }
    ASSERT_EQ(form_.ModalResult(), kind.Result) << kind.Name << " in round " << round;
    if (*kind.Message) {
      ASSERT_EQ(form_.Messages, (std::map<std::string, int>{{kind.Message, 1}})) << round;
    } else {
      ASSERT_TRUE(form_.Messages.empty()) << form_.Messages.begin()->first << " in round " << round;
    }
    ASSERT_TRUE(IsWindowEnabled(form_.LogInButton)) << kind.Name << " in round " << round;
    server_.ForgetRequests();
  }

  // The request of Attempt, straight through WinINet.
  void BareRequest(int round) {
    const TKind& kind = KindOf(round);
    answer_ = kind.Answer ? kind.Answer : "";
    std::optional<TProxySetting> nowhere;
    if (!kind.Answer) nowhere.emplace(closedPort_);
    const std::string agent = ExecutableFileName();
    const std::string address = BuildRequestUrl(1, {"key"}, {MakeSignInKey(User, Password)});
    HINTERNET session = InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET url = InternetOpenUrlA(session, address.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    char buffer[4096];
    DWORD got = 0;
    while (url && InternetReadFile(url, buffer, sizeof buffer, &got) && got > 0) {
    }
    if (url) InternetCloseHandle(url);
    InternetCloseHandle(session);
    server_.ForgetRequests();
  }

  // One store and one load of the remembered credentials, against the real registry.
  void StoreCycle(int round) {
    const bool remember = round % 2 == 0;
    const std::string user = "user " + std::to_string(round), password = "pass " + std::to_string(round);
    form_.SetUserText(user);
    form_.SetPasswordText(password);
    form_.SetRememberMeChecked(remember);
    SaveRememberedCredentials(form_);
    form_.SetUserText("");
    form_.SetPasswordText("");
    form_.SetRememberMeChecked(!remember);
    LoadRememberedCredentials(form_);
    ASSERT_EQ(form_.UserText(), remember ? user : "") << round;
    ASSERT_EQ(form_.PasswordText(), remember ? password : "") << round;
    ASSERT_EQ(form_.RememberMeChecked(), remember) << round;
    ASSERT_TRUE(form_.Messages.empty()) << form_.Messages.begin()->first << " in round " << round;
  }

  std::string answer_;
  TLoopbackServer server_{[this](const auto&) { return TLoopbackServer::Reply(200, answer_); }};
  TProxySetting proxy_{server_.Port()};
  const std::uint16_t closedPort_ = TLoopbackServer::ClosedPort();
  TQuietLogInForm form_;
};

TEST_F(LogInFormResourcesTest, SignInAttemptsOfEveryOutcomeKeepNoMoreThanWinInetItself) {
  const TGrowth attempts = Measure("sign-in attempts", [this](int i) { Attempt(i); });
  ASSERT_FALSE(HasFatalFailure());
  const TGrowth bare = Measure("bare WinINet requests", [this](int i) { BareRequest(i); });
  ExpectWithinSlack(attempts, bare);
}

TEST_F(LogInFormResourcesTest, StoringAndLoadingTheCredentialsKeepsNothing) {
  const TGrowth cycles = Measure("store and load cycles", [this](int i) { StoreCycle(i); });
  ExpectWithinSlack(cycles);
}

}  // namespace
