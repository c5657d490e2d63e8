// What the end-to-end tests against the reference service cannot show: Quillon.exe under answers that
// service never gives, and builds with other version resources. A loopback service stands behind the
// system's proxy setting.
#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/testing/fake_service.h"
#include "tools/testing/gui/driver.h"
#include "tools/testing/proxy_setting.h"
#include "ui/accessible.h"

namespace {

using namespace std::chrono_literals;
using gui::TProgram;

// A cookie to keep on disk and one for the run, with every session granted.
TFakeService::TResponse Granted(const std::string& id) {
  return TFakeService::Document("<session id=\"" + id + "\" accessLevel=\"6\"/>",
                                "Set-Cookie: marker=1; Expires=Wed, 01 Jan 2031 00:00:00 GMT; Path=/\r\n"
                                "Set-Cookie: visit=1; Path=/\r\n");
}

// "locked" and "locked-erring" get an error with a session, as a faulty service might send; anyone else
// signs in, those below with a session named after them. The closing request of a session whose name
// ends in "erring" gets an error, that of "cut" a connection cut before any answer, that of "mute" no
// answer ever; others an empty answer, which is accepted. Everyone signs in with an empty password.
const TFakeService::TScript Script{
    .SignIns = {{"locked", "",
                 TFakeService::Document(R"(<error code="7">Locked</error><session id="S-locked"/>)")},
                {"locked-erring", "",
                 TFakeService::Document(R"(<error code="7">Locked</error><session id="S-locked-erring"/>)")},
                {"alice", "", Granted("S-alice")},
                {"erring", "", Granted("S-erring")},
                {"cut", "", Granted("S-cut")},
                {"mute", "", Granted("S-mute")}},
    .OtherSignIn = Granted("S-1"),
    .Closings = {{"S-erring", TFakeService::Error(9, "Gone")},
                 {"S-locked-erring", TFakeService::Error(9, "Gone")},
                 {"S-cut", {.Bytes = "", .Reset = true}},
                 {"S-mute", {.Bytes = "", .Reset = false, .Repeat = {}, .Never = true}}},
    .OtherClosing = TLoopbackServer::Reply(200, ""),
};

// The same two messages to the windows of one program, which is then left running, as a system might.
// False when a window that is still there did not answer within 20 s.
bool SendEndSession(DWORD pid) {
  const auto windows = gui::TopLevelWindows(pid);
  for (const auto& [message, wParam] :
       {std::pair<UINT, WPARAM>{WM_QUERYENDSESSION, 0}, {WM_ENDSESSION, TRUE}}) {
    for (HWND window : windows) {
      DWORD_PTR result = 0;
      // The program may end, and its windows with it, once one of them has handled WM_ENDSESSION.
      if (!SendMessageTimeoutA(window, message, wParam, 0, SMTO_NORMAL, 20000, &result)) {
        if (IsWindow(window)) return false;
        continue;
      }
      if (message == WM_QUERYENDSESSION && !result) return false;
    }
  }
  return true;
}

std::string Expanded(const char* path) {
  char expanded[MAX_PATH];
  ExpandEnvironmentStringsA(path, expanded, MAX_PATH);
  return expanded;
}

// The names of the files in a folder, its path with environment variables in it.
std::vector<std::string> FilesIn(const char* folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((Expanded(folder) + "\\*").c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.emplace_back(found.cFileName);
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return files;
}

class ProgramTest : public ::testing::Test {
 protected:
  TFakeService server_{Script};
  TProxySetting proxy_{server_.Port()};
};

// One start per build: the caption carries its version, and the bar keeps the Tools button at the right.
TEST_F(ProgramTest, CaptionCarriesTheTrimmedFileVersionAndToolsKeepsToTheRightEdge) {
  const struct {
    const char* Path;
    const char* Caption;
  } cases[] = {{QUILLON_EXE_4690, "Quillon V4.6.9"}, {QUILLON_EXE_NO_VERSION, "Quillon V"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Path);
    TProgram program(c.Path);
    const auto dialog = gui::AwaitSignInDialog(program.Pid());
    // A dialog to a screen reader in another process, whose controls it can walk as objects.
    const auto object = gui::ClientObject(dialog.Handle());
    VARIANT role{};
    EXPECT_EQ(object->get_accRole(gui::Self, &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_DIALOG);
    VARIANT children[9]{};
    LONG count = 0;
    EXPECT_EQ(AccessibleChildren(object.Get(), 0, 9, children, &count), S_OK);
    EXPECT_EQ(count, 9);
    for (VARIANT& child : std::span(children, count)) {
      EXPECT_EQ(child.vt, VT_DISPATCH);
      TComPtr<IAccessible> control;
      if (child.vt == VT_DISPATCH)
        child.pdispVal->QueryInterface(AccessibleInterface, reinterpret_cast<void**>(control.Put()));
      EXPECT_TRUE(control);
      VariantClear(&child);
    }
    dialog.SignIn("alice", "");
    const auto main = gui::AwaitMainWindow(program.Pid());
    EXPECT_EQ(gui::Text(main.Handle()), c.Caption);
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

// On the screens of the test prefixes: where the window fits, and where at 150 % it is taller than the
// screen, whose top its caption must not leave.
TEST_F(ProgramTest, TheMainWindowStandsWholeOnItsScreen) {
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const struct {
    int Width, Height, Dpi;
    RECT Bounds;
  } screens[] = {{1280, 1024, 96, {258, 230, 1021, 793}}, {1366, 768, 144, {110, 0, 1255, 768}}};
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  const auto screen = std::ranges::find_if(screens, [&](const auto& s) {
    return s.Width == width && s.Height == height && s.Dpi == static_cast<int>(GetDpiForSystem());
  });
  ASSERT_NE(screen, std::end(screens)) << width << "x" << height << " at " << GetDpiForSystem() << " DPI";
  TProgram program(QUILLON_EXE);
  gui::AwaitSignInDialog(program.Pid()).SignIn("alice", "");
  const auto main = gui::AwaitMainWindow(program.Pid());
  RECT bounds{};
  GetWindowRect(main.Handle(), &bounds);
  EXPECT_TRUE(EqualRect(&bounds, &screen->Bounds))
      << bounds.left << "," << bounds.top << " - " << bounds.right << "," << bounds.bottom;
  main.Exit(program);
}

// A held session is closed once at the end. When Windows ends the session it is closed at once and without a
// message box, which nobody could answer (the answers of "erring" and "cut" would each show one at Exit);
// without a session, or after a new attempt has emptied it, nothing is sent.
TEST_F(ProgramTest, AHeldSessionIsClosedOnceAtTheEndSilentlyWhenWindowsEnds) {
  // The dialog's Cancel, a next attempt that cannot reach the service, wineboot --end-session, or bare
  // messages, which leave the program to end by itself.
  enum class TEnd { Cancel, Unreached, Wineboot, Messages };
  const struct {
    const char* User;  // signs in; none leaves the first dialog up
    TEnd End;
    const char* Closed;
  } cases[] = {
      {"locked", TEnd::Cancel, "S-locked"},  // the dialog stays up, the main window was never shown
      {"locked", TEnd::Unreached, nullptr},  // the failed attempt had emptied the session first
      {"alice", TEnd::Wineboot, "S-alice"},
      {"erring", TEnd::Wineboot, "S-erring"},
      {"cut", TEnd::Wineboot, "S-cut"},
      // Windows gives five seconds, wineboot as long as it takes: 30 s here, and the service never answers.
      {"mute", TEnd::Wineboot, "S-mute"},
      {"mute", TEnd::Messages, "S-mute"},
      {"locked", TEnd::Wineboot, "S-locked"},
      {nullptr, TEnd::Wineboot, nullptr},
      {"alice", TEnd::Messages, "S-alice"},
      // After the dialog's Cancel on the way out, the main window closes with the session still named.
      {"locked-erring", TEnd::Messages, "S-locked-erring"},
  };
  // Only what these runs leave counts, not what an older build's left.
  constexpr char CookieFolder[] = "%LOCALAPPDATA%\\Microsoft\\Windows\\INetCookies";
  for (const auto& file : FilesIn(CookieFolder)) DeleteFileA((Expanded(CookieFolder) + "\\" + file).c_str());
  for (const auto& c : cases) {
    const std::string user = c.User ? c.User : "";
    const char* const ends[] = {"Cancel", "unreached", "wineboot", "messages"};
    SCOPED_TRACE((c.User ? user : "nobody") + ", " + ends[static_cast<int>(c.End)]);
    server_.ForgetRequests();
    TProgram program(QUILLON_EXE);
    const auto dialog = gui::AwaitSignInDialog(program.Pid());
    if (user.starts_with("locked")) {
      dialog.SignIn(user, "");
      EXPECT_EQ(gui::DismissMessageBox("Quillon", program.Pid()), "Unable to log in: Locked (error code 7)");
      dialog.AwaitReady();
    } else if (c.User) {
      dialog.SignIn(user, "");
      gui::AwaitMainWindow(program.Pid());
    }
    // A message box would hold the handler, and with it the end of the session, until someone answers.
    const auto box = [&] {
      HWND shown = gui::FindVisible("Quillon", program.Pid());
      return shown ? gui::MessageBoxText(shown) : std::string("none");
    };
    switch (c.End) {
      case TEnd::Cancel:
        gui::Click(dialog.Cancel());
        break;
      case TEnd::Unreached: {
        const TProxySetting nowhere(TLoopbackServer::ClosedPort());
        dialog.SignIn(user, "");
        EXPECT_EQ(gui::DismissMessageBox("Quillon", program.Pid()), "Failed to connect to server");
        break;
      }
      case TEnd::Wineboot:
        ASSERT_TRUE(gui::EndWindowsSession())
            << "wineboot --end-session did not end within 30 s; message box: " << box();
        break;
      case TEnd::Messages:
        ASSERT_TRUE(SendEndSession(program.Pid()))
            << "the end of the session was refused or not answered in 20 s; message box: " << box();
        break;
    }
    ASSERT_TRUE(gui::WaitUntil([&] { return !program.Running(); }, 15s))
        << "still running; message box: " << box();
    EXPECT_EQ(program.ExitCode(), 0);
    std::vector<std::string> closing;
    for (const auto& request : server_.Requests()) {
      if (request.Target.find("func=2&") != std::string::npos) closing.push_back(request.Target);
      // Neither those of this run nor the one kept on disk by an earlier run.
      EXPECT_EQ(request.Header("Cookie"), "") << request.Target;
    }
    if (!c.Closed) {
      EXPECT_TRUE(closing.empty()) << closing.front();
    } else {
      ASSERT_EQ(closing.size(), 1u);
      EXPECT_TRUE(closing[0].ends_with(std::string("func=2&session=") + c.Closed)) << closing[0];
    }
  }
  EXPECT_EQ(FilesIn(CookieFolder), std::vector<std::string>{});
}

// A copy of the program in a folder of its own, a downloads folder say, beside a hostile library under
// each name that a whole journey loads once the program runs, and others of the kind; Wine told to look
// in the program's folder first, as Windows does for a name off its KnownDLLs list. Not covered: what
// Wine's own libraries load while the process starts, before a line of the program runs (version, imm32,
// uxtheme, its display driver, and advapi32's own imports); the import table's check covers version.
TEST_F(ProgramTest, LibrariesPlantedBesideTheProgramAreNeverLoaded) {
  constexpr std::string_view Names[] = {"rpcrt4",  "combase", "ole32",    "oleaut32", "msimg32",
                                        "mpr",     "shcore",  "shlwapi",  "shell32",  "ws2_32",
                                        "wininet", "urlmon",  "msxml6",   "msxml3",   "dwmapi",
                                        "secur32", "crypt32", "iphlpapi", "dnsapi",   "bcrypt"};
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "quillon-planted\\";
  const std::string loaded = folder + "loaded.txt";
  struct TFolder {
    std::vector<std::string> Files;
    std::string Path;
    ~TFolder() {
      for (const auto& file : Files) DeleteFileA(file.c_str());
      RemoveDirectoryA(Path.c_str());
    }
  } planted{{loaded}, folder};
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA(loaded.c_str());
  const auto plant = [&](const char* from, const std::string& to) {
    planted.Files.push_back(to);
    ASSERT_TRUE(CopyFileA(gui::WindowsPath(from).c_str(), to.c_str(), FALSE)) << to;
  };
  ASSERT_NO_FATAL_FAILURE(plant(QUILLON_EXE, folder + "Quillon.exe"));
  // Per program, as winecfg sets it: Wine's own libraries follow it for what they load, too.
  struct TOverrides {
    const char* Key = "Software\\Wine\\AppDefaults\\Quillon.exe\\DllOverrides";
    ~TOverrides() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Quillon.exe"); }
  } overrides;
  for (const auto name : Names) {
    ASSERT_NO_FATAL_FAILURE(plant(QUILLON_PLANTED_LIBRARY, folder + std::string(name) + ".dll"));
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, overrides.Key, std::string(name).c_str(), REG_SZ,
                              "native,builtin", sizeof "native,builtin"),
              ERROR_SUCCESS);
  }

  // Checked however the journey ends: a planted library is the likely cause of a step that failed.
  struct TNoneRan {
    std::string Log;
    ~TNoneRan() {
      std::ifstream ran(Log, std::ios::binary);
      EXPECT_FALSE(ran) << "planted libraries ran: " << std::string(std::istreambuf_iterator<char>(ran), {});
    }
  } noneRan{loaded};
  const TProgram program(folder + "Quillon.exe");
  // Remembered, so that the journey enciphers and, shown again, deciphers.
  const gui::TSignInDialog first = gui::AwaitSignInDialog(program.Pid());
  gui::SetChecked(first.RememberMe(), true);
  first.SignIn("alice", "");
  const auto main = gui::AwaitMainWindow(program.Pid());
  main.LogOut();
  const gui::TSignInDialog again = gui::AwaitSignInDialog(program.Pid());
  EXPECT_EQ(again.Shown(), (gui::TFields{"alice", "", true}));
  gui::SetChecked(again.RememberMe(), false);
  again.SignIn("alice", "");
  gui::Await("the main window comes back", [&] { return IsWindowVisible(main.Handle()) != FALSE; });
  // What serves screen readers is loaded only when one asks.
  HMODULE modules[512];
  DWORD size = 0;
  ASSERT_TRUE(EnumProcessModules(program.Handle(), modules, sizeof modules, &size));
  for (DWORD i = 0; i < size / sizeof(HMODULE) && i < std::size(modules); ++i) {
    char name[MAX_PATH] = {};
    GetModuleBaseNameA(program.Handle(), modules[i], name, MAX_PATH);
    EXPECT_NE(lstrcmpiA(name, "oleacc.dll"), 0) << "loaded without a screen reader: " << name;
  }
  main.Exit(program);
  EXPECT_EQ(program.ExitCode(), 0);
  std::string functions;
  for (const auto& request : server_.Requests())
    functions += request.Target.substr(request.Target.find("func=") + 5, 1);
  EXPECT_EQ(functions, "112");
}

}  // namespace
