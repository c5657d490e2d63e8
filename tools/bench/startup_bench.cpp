// Times Quillon.exe as a user meets it, against bare baselines measured in the same run:
//   start-up: from starting the process to its sign-in dialog being visible, against minimal_window.exe
//             showing its one window;
//   sign-in:  from pressing "Log In" to the main window being visible, against one bare WinINet request of
//             the same address with the same answer, made by this process and, as the first request of a
//             fresh process, by bare_request.exe.
// Runs alternate between the programs and the baselines; prints medians and ratios.
//
//   startup_bench [--managed] [--program PATH]... [RUNS]
//
// RUNS defaults to 15, after one warm-up run of each. --program times another build of the program
// instead of this tree's, and may be given more than once to compare builds in one run.
//
// Without a window manager (Xvfb alone, as the tests run) Wine waits 2 s for one to acknowledge each
// window that is hidden. Unless --managed is given, the programs' windows are left unmanaged for the run
// (Wine's per-program X11 setting), so that the figures are the programs' own.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "credentials/credentials_store.h"
#include "service/executable.h"
#include "service/request.h"
#include "service/tests/loopback_server.h"
#include "service/tests/proxy_setting.h"
#include "session/protocol.h"
#include "session/tests/gui_driver.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string User = "alice", Password = "alice";
const std::string Answer = R"(<Brovik><license><session id="S-alice" accessLevel="6"/></license></Brovik>)";

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

template <class T>
T Expect(T found, const char* what) {
  if (!found) throw std::runtime_error(std::string("no ") + what);
  return found;
}

// Polled every millisecond while the programs run, so each poll must cost the Wine server little: a window
// is looked up by class and caption, then only its visibility is asked for.
HWND PollForWindow(const char* className, const char* caption) {
  const auto end = Clock::now() + 20s;
  HWND window;
  while (!(window = FindWindowExA(nullptr, nullptr, className, caption))) {
    if (Clock::now() > end) return nullptr;
    Sleep(1);
  }
  return window;
}

// The moment window was first seen visible.
Clock::time_point PollForVisible(HWND window, const char* what) {
  const auto end = Clock::now() + 20s;
  while (!IsWindowVisible(window)) {
    if (Clock::now() > end) throw std::runtime_error(std::string(what) + " not shown");
    Sleep(1);
  }
  return Clock::now();
}

class Process {
 public:
  explicit Process(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = commandLine;
    started_ = Clock::now();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info_))
      throw std::runtime_error("cannot start " + commandLine);
  }
  ~Process() {
    if (WaitForSingleObject(info_.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  Clock::time_point Started() const { return started_; }
  HANDLE Handle() const { return info_.hProcess; }
  DWORD ExitCode() const {
    WaitForSingleObject(info_.hProcess, 15000);
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
  Clock::time_point started_;
};

std::string Quoted(const std::string& path) { return '"' + gui::WindowsPath(path) + '"'; }

// A user reads the dialog, or what was typed, before pressing anything: what the program still does then
// (painting, mostly) is not part of signing in.
void LetSettle(const Process& program) {
  WaitForInputIdle(program.Handle(), 5000);
  Sleep(300);
}

// The main window exists, hidden, while the dialog is up; its caption is set before the dialog shows.
HWND HiddenMainWindow() {
  for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "QuillonForm", nullptr));)
    if (gui::Text(window).starts_with("Quillon V")) return window;
  return nullptr;
}

struct QuillonRun {
  double startUp, signIn;
};

// One run of the program: start, sign in, exit.
QuillonRun RunQuillon(const std::string& path) {
  Process program(Quoted(path));
  HWND dialog = Expect(PollForWindow("QuillonForm", "Log In"), "sign-in dialog");
  const double startUp = Milliseconds(PollForVisible(dialog, "sign-in dialog") - program.Started());
  LetSettle(program);
  HWND main = Expect(HiddenMainWindow(), "main window");
  gui::SetText(gui::Control(dialog, "Edit", 0), User);
  gui::SetText(gui::Control(dialog, "Edit", 1), Password);
  gui::SetChecked(gui::Control(dialog, "Button", 0), false);
  LetSettle(program);
  const auto pressed = Clock::now();
  gui::Click(gui::Control(dialog, "Button", 1));
  const double signIn = Milliseconds(PollForVisible(main, "main window") - pressed);
  PostMessageA(main, WM_CLOSE, 0, 0);
  if (program.ExitCode() != 0) std::fprintf(stderr, "%s did not end cleanly\n", path.c_str());
  return {startUp, signIn};
}

double RunMinimal() {
  Process program(Quoted(MINIMAL_WINDOW_EXE));
  HWND window = Expect(PollForWindow("MinimalWindow", "Minimal"), "minimal window");
  const double startUp = Milliseconds(PollForVisible(window, "minimal window") - program.Started());
  PostMessageA(window, WM_CLOSE, 0, 0);
  program.ExitCode();
  return startUp;
}

double RunFreshProcessRequest(const std::string& address) {
  Process request(Quoted(BARE_REQUEST_EXE) + " \"" + address + '"');
  const DWORD microseconds = request.ExitCode();
  if (microseconds == 0) throw std::runtime_error("bare request failed");
  return microseconds / 1000.0;
}

double RunRequest(const std::string& address) {
  const auto start = Clock::now();
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
  return Milliseconds(Clock::now() - start);
}

// Wine's per-program setting that keeps the X11 driver from handing the program's windows to a window
// manager; removed again at the end unless it was there before.
class UnmanagedWindows {
 public:
  explicit UnmanagedWindows(const std::vector<std::string>& programs) {
    for (const auto& program : programs) {
      const std::string key = "Software\\Wine\\AppDefaults\\" + program;
      HKEY existing = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &existing) == ERROR_SUCCESS) {
        RegCloseKey(existing);
        std::fprintf(stderr, "%s has Wine settings of its own: left as they are\n", program.c_str());
        continue;
      }
      RegSetKeyValueA(HKEY_CURRENT_USER, (key + "\\X11 Driver").c_str(), "Managed", REG_SZ, "N", 2);
      made_.push_back(key);
    }
  }
  ~UnmanagedWindows() {
    for (const auto& key : made_) RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
  }
  UnmanagedWindows(const UnmanagedWindows&) = delete;
  UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;

 private:
  std::vector<std::string> made_;
};

// The dialog loads what is remembered; every run starts as a first start does, with nothing.
void ForgetRemembered() {
  const std::string path(CredentialsKeyPath);
  RegDeleteKeyValueA(HKEY_CURRENT_USER, path.c_str(), std::string(UsernameValueName).c_str());
  RegDeleteKeyValueA(HKEY_CURRENT_USER, path.c_str(), std::string(PasswordValueName).c_str());
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void Bench(const std::vector<std::string>& programs, bool managed, int runs) {
  std::vector<std::string> names{std::string(FileNameOf(MINIMAL_WINDOW_EXE))};
  for (const auto& program : programs) names.emplace_back(FileNameOf(program));
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  std::optional<UnmanagedWindows> unmanaged;
  if (!managed) unmanaged.emplace(names);
  LoopbackServer server([](const auto&) { return LoopbackServer::Reply(200, Answer); });
  ProxySetting proxy(server.Port());
  const std::string address = BuildRequestUrl(1, {"key"}, {MakeSignInKey(User, Password)});

  // Wine is still tearing an ended process's windows down for a while; a start then is slower.
  const auto quiet = [] { Sleep(300); };
  std::vector<std::vector<double>> startUp(programs.size()), signIn(programs.size());
  std::vector<double> minimal, fresh, here;
  for (int run = -1; run < runs; ++run) {
    const bool counted = run >= 0;  // the warm-up brings the files into the cache
    for (std::size_t p = 0; p < programs.size(); ++p) {
      ForgetRemembered();
      const QuillonRun timed = RunQuillon(programs[p]);
      quiet();
      if (counted) startUp[p].push_back(timed.startUp), signIn[p].push_back(timed.signIn);
    }
    const double m = RunMinimal();
    quiet();
    const double f = RunFreshProcessRequest(address), h = RunRequest(address);
    if (counted) minimal.push_back(m), fresh.push_back(f), here.push_back(h);
  }
  ForgetRemembered();

  const double m = Median(minimal), f = Median(fresh), h = Median(here);
  std::printf("medians (and minimums) of %d runs each, windows %s\n", runs,
              managed ? "managed (Wine waits for a window manager at each hide)" : "unmanaged");
  std::printf("minimal_window.exe to its window     %7.1f ms (%5.1f)\n", m, Min(minimal));
  std::printf("bare request in a fresh process      %7.1f ms (%5.1f)\n", f, Min(fresh));
  std::printf("bare request in this process         %7.1f ms (%5.1f)\n", h, Min(here));
  for (std::size_t p = 0; p < programs.size(); ++p) {
    const double s = Median(startUp[p]), i = Median(signIn[p]);
    std::printf("%s\n", gui::WindowsPath(programs[p]).c_str());
    std::printf("  start-up to the sign-in dialog     %7.1f ms (%5.1f)  %.2f x minimal (%.2f)\n", s,
                Min(startUp[p]), s / m, Min(startUp[p]) / Min(minimal));
    std::printf(
        "  Log In to the main window          %7.1f ms (%5.1f)  %.2f x request here (%.2f), %.2f x fresh "
        "(%.2f)\n",
        i, Min(signIn[p]), i / h, Min(signIn[p]) / Min(here), i / f, Min(signIn[p]) / Min(fresh));
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool managed = false;
  int runs = 15;
  std::vector<std::string> programs;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--managed") {
      managed = true;
    } else if (argument == "--program" && i + 1 < argc) {
      programs.emplace_back(argv[++i]);
    } else if (const long n = std::strtol(argv[i], nullptr, 10); n > 0) {
      runs = static_cast<int>(n);
    } else {
      std::fprintf(stderr, "usage: startup_bench [--managed] [--program PATH]... [RUNS]\n");
      return 2;
    }
  }
  if (programs.empty()) programs.emplace_back(QUILLON_EXE);
  try {
    Bench(programs, managed, runs);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "startup_bench: %s\n", error.what());
    return 1;
  }
}
