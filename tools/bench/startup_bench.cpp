// Times Quillon.exe as a user meets it, against baselines measured in the same run:
//   start-up: from starting the process to its sign-in dialog being visible, against minimal_window.exe
//             showing its one window, and against limit_startup.exe, which shows the same dialog over the
//             same hidden main window with the plainest code;
//   sign-in:  from pressing "Log In" to the main window being visible, against one bare WinINet request of
//             the same address with the same answer, made by this process and, as the first request of a
//             fresh process, by bare_request.exe; and against limit_signin.exe, which makes that request,
//             loads the answer with MSXML 6 and shows a main window, all first of its process, from the
//             press of its own "Log In" button.
// Runs alternate between the programs and the baselines; prints medians and ratios, and the median of the
// ratios of each run's pair of the program and its limit ("pairs"), which the machine's jumps between
// levels disturb far less.
//
//   startup_bench [--program PATH]... [--remembered] [RUNS]
//
// RUNS defaults to 15, after one warm-up run of each. --program times another build of the program
// instead of this tree's, and may be given more than once to compare builds in one run. --remembered
// starts each program with the user's credentials remembered, so that its dialog deciphers them as it
// shows. Each program's private memory is read at its settled dialog. Run it in a Wine
// session of tools/wine-session.sh, which leaves the windows unmanaged.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "service/request.h"
#include "session/protocol.h"
#include "tools/testing/gui/driver.h"
#include "tools/testing/loopback_server.h"
#include "tools/testing/process_counters.h"
#include "tools/testing/proxy_setting.h"
#include "win32/executable.h"

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string User = "alice", Password = "alice";
const std::string Answer = R"(<Brovik><license><session id="S-alice" accessLevel="6"/></license></Brovik>)";

double Milliseconds(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Polled every millisecond while the programs run.
TClock::time_point AwaitVisible(HWND window, const char* what) {
  if (!gui::WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, 20s, 1ms))
    throw std::runtime_error(std::string(what) + " not shown");
  return TClock::now();
}

// The moment the window with this caption was first seen visible.
TClock::time_point AwaitWindow(const gui::TProgram& program, const char* caption, HWND* found = nullptr) {
  HWND window = nullptr;
  if (!gui::WaitUntil([&] { return (window = gui::FindVisible(caption, program.Pid())) != nullptr; }, 20s,
                      1ms))
    throw std::runtime_error(std::string("no window ") + caption);
  if (found) *found = window;
  return TClock::now();
}

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

// A user reads the dialog, or what was typed, before pressing anything: what the program still does then
// (painting, mostly) is not part of signing in.
void LetSettle(const gui::TProgram& program) {
  WaitForInputIdle(program.Handle(), 5000);
  Sleep(300);
}

// The main window exists, hidden, while the dialog is up; its caption is set before the dialog shows.
HWND HiddenMainWindow(const gui::TProgram& program) {
  for (HWND window : gui::TopLevelWindows(program.Pid()))
    if (gui::Text(window).starts_with(gui::MainCaptionPrefix)) return window;
  throw std::runtime_error("no main window");
}

struct TQuillonRun {
  double StartUp, SignIn, PrivateKiB;
};

// One run of the program: start, sign in (remembering the credentials or not), exit.
TQuillonRun RunQuillon(const std::string& path, bool remember) {
  const gui::TProgram program(path);
  HWND window = nullptr;
  const double startUp =
      Milliseconds(AwaitWindow(program, gui::SignInCaption, &window) - program.StartedAt());
  LetSettle(program);
  const double privateKiB = PrivateBytesOf(program.Handle()) / 1024.0;
  HWND main = HiddenMainWindow(program);
  const gui::TSignInDialog dialog(window);
  dialog.Type({User, Password, remember});
  LetSettle(program);
  const auto pressed = TClock::now();
  gui::Click(dialog.LogIn());
  const double signIn = Milliseconds(AwaitVisible(main, "main window") - pressed);
  PostMessageA(main, WM_CLOSE, 0, 0);
  if (program.ExitCode() != 0) std::fprintf(stderr, "%s did not end cleanly\n", path.c_str());
  return {startUp, signIn, privateKiB};
}

double RunMinimal() {
  const gui::TProgram program(MINIMAL_WINDOW_EXE);
  HWND window = nullptr;
  const double startUp = Milliseconds(AwaitWindow(program, "Minimal", &window) - program.StartedAt());
  PostMessageA(window, WM_CLOSE, 0, 0);
  program.ExitCode();
  return startUp;
}

double RunLimitStartup() {
  const gui::TProgram program(LIMIT_STARTUP_EXE);
  HWND window = nullptr;
  const double startUp =
      Milliseconds(AwaitWindow(program, gui::SignInCaption, &window) - program.StartedAt());
  PostMessageA(window, WM_CLOSE, 0, 0);
  if (program.ExitCode() != 0) throw std::runtime_error("limit_startup.exe did not end cleanly");
  return startUp;
}

// Timed as Quillon's sign-in is: settled, then pressed, then polled from here.
double RunLimitSignIn(const std::string& address) {
  const gui::TProgram program(LIMIT_SIGNIN_EXE, Quoted(address) + ' ' + User);
  HWND window = nullptr;
  AwaitWindow(program, gui::SignInCaption, &window);
  // Twice, as Quillon before and after the typing: the press comes as long after the start.
  LetSettle(program);
  LetSettle(program);
  HWND main = HiddenMainWindow(program);
  HWND logIn = gui::Control(window, "Button", 0);
  const auto pressed = TClock::now();
  gui::Click(logIn);
  const double signIn = Milliseconds(AwaitVisible(main, "limit_signin.exe's main window") - pressed);
  // The answer was read, not just received.
  if (gui::Text(gui::Control(main, "Static", 1)) != "Access level: Admin")
    throw std::runtime_error("limit_signin.exe did not read the answer's access level");
  PostMessageA(main, WM_CLOSE, 0, 0);
  if (program.ExitCode() != 0) throw std::runtime_error("limit_signin.exe did not end cleanly");
  return signIn;
}

double RunFreshProcessRequest(const std::string& address) {
  const gui::TProgram request(BARE_REQUEST_EXE, Quoted(address));
  const long microseconds = request.ExitCode();
  if (microseconds == 0) throw std::runtime_error("bare request failed");
  return microseconds / 1000.0;
}

double RunRequest(const std::string& address) {
  const auto start = TClock::now();
  HINTERNET session = InternetOpenA("startup_bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  HINTERNET url = InternetOpenUrlA(session, address.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
  char buffer[32768];
  DWORD got = 0;
  bool read = url != nullptr;
  while (read && (read = InternetReadFile(url, buffer, sizeof buffer, &got)) && got > 0) {
  }
  if (url) InternetCloseHandle(url);
  InternetCloseHandle(session);
  if (!read) throw std::runtime_error("bare request failed");
  return Milliseconds(TClock::now() - start);
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// The median of the ratios of each run's pair: both programs' times jump between levels from run to run,
// and a pair of neighbouring starts mostly meets the same level.
double MedianRatio(const std::vector<double>& program, const std::vector<double>& limit) {
  std::vector<double> ratios;
  for (std::size_t i = 0; i < program.size() && i < limit.size(); ++i)
    ratios.push_back(program[i] / limit[i]);
  return Median(ratios);
}

void Bench(const std::vector<std::string>& programs, bool remembered, int runs) {
  TLoopbackServer server([](const auto&) { return TLoopbackServer::Reply(200, Answer); });
  TProxySetting proxy(server.Port());
  const std::string address = BuildRequestUrl(1, {"key"}, {MakeSignInKey(User, Password)});

  // Wine is still tearing an ended process's windows down for a while; a start then is slower.
  const auto quiet = [] { Sleep(300); };
  std::vector<std::vector<double>> startUp(programs.size()), signIn(programs.size()),
      privateKiB(programs.size());
  std::vector<double> minimal, fresh, here, limitStartUp, limitSignIn;
  for (int run = -1; run < runs; ++run) {
    const bool counted = run >= 0;  // the warm-up brings the files into the cache
    for (std::size_t p = 0; p < programs.size(); ++p) {
      // Remembered, each run leaves them for the next, the warm-up for the first.
      if (!remembered) gui::ForgetRememberedCredentials();
      const TQuillonRun timed = RunQuillon(programs[p], remembered);
      quiet();
      if (counted) {
        startUp[p].push_back(timed.StartUp), signIn[p].push_back(timed.SignIn);
        privateKiB[p].push_back(timed.PrivateKiB);
      }
    }
    // The limits right after the programs, so that each pair meets the machine in the same state.
    const double ls = RunLimitStartup();
    quiet();
    const double li = RunLimitSignIn(address);
    quiet();
    const double m = RunMinimal();
    quiet();
    const double f = RunFreshProcessRequest(address), h = RunRequest(address);
    if (counted) {
      minimal.push_back(m), fresh.push_back(f), here.push_back(h);
      limitStartUp.push_back(ls), limitSignIn.push_back(li);
    }
  }
  gui::ForgetRememberedCredentials();

  const double m = Median(minimal), f = Median(fresh), h = Median(here);
  const double ls = Median(limitStartUp), li = Median(limitSignIn);
  std::printf("medians (and minimums) of %d runs each%s\n", runs,
              remembered ? ", credentials remembered" : "");
  std::printf("minimal_window.exe to its window     %7.1f ms (%5.1f)\n", m, Min(minimal));
  std::printf("limit_startup.exe to its dialog      %7.1f ms (%5.1f)\n", ls, Min(limitStartUp));
  std::printf("bare request in a fresh process      %7.1f ms (%5.1f)\n", f, Min(fresh));
  std::printf("bare request in this process         %7.1f ms (%5.1f)\n", h, Min(here));
  std::printf("limit_signin.exe to its main window  %7.1f ms (%5.1f)\n", li, Min(limitSignIn));
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const double s = Median(startUp[p]), i = Median(signIn[p]);
    std::printf("%s\n", gui::WindowsPath(programs[p]).c_str());
    std::printf("  start-up to the sign-in dialog     %7.1f ms (%5.1f)  %.2f x minimal (%.2f)\n", s,
                Min(startUp[p]), s / m, Min(startUp[p]) / Min(minimal));
    std::printf(
        "  Log In to the main window          %7.1f ms (%5.1f)  %.2f x request here (%.2f), %.2f x fresh "
        "(%.2f)\n",
        i, Min(signIn[p]), i / h, Min(signIn[p]) / Min(here), i / f, Min(signIn[p]) / Min(fresh));
    std::printf("  start-up                           %7.2f x limit (%.2f), pairs %.2f\n", s / ls,
                Min(startUp[p]) / Min(limitStartUp), MedianRatio(startUp[p], limitStartUp));
    std::printf("  sign-in                            %7.2f x limit (%.2f), pairs %.2f\n", i / li,
                Min(signIn[p]) / Min(limitSignIn), MedianRatio(signIn[p], limitSignIn));
    std::printf("  private memory at the dialog       %7.0f KiB (%.0f)\n", Median(privateKiB[p]),
                Min(privateKiB[p]));
  }
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 15;
  std::vector<std::string> programs;
  bool remembered = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--program" && i + 1 < argc) {
      programs.emplace_back(argv[++i]);
    } else if (argument == "--remembered") {
      remembered = true;
    } else if (const long n = std::strtol(argv[i], nullptr, 10); n > 0) {
      runs = static_cast<int>(n);
    } else {
      std::fprintf(stderr, "usage: startup_bench [--program PATH]... [--remembered] [RUNS]\n");
      return 2;
    }
  }
  if (programs.empty()) programs.emplace_back(QUILLON_EXE);
  try {
    Bench(programs, remembered, runs);
  } catch (const std::exception& error) {  // gui::EStepFailed included
    std::fprintf(stderr, "startup_bench: %s\n", error.what());
    return 1;
  }
}
