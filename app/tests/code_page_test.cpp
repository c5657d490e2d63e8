// Quillon.exe in the system's ANSI code page: its message box caption and user agent come from its file
// name, its caption's version from its own file wherever that lies, and the user's, the service's and the
// registry's texts keep their characters. The windows tree
// runs this in a Wine prefix for each code page (1252, 932, 1251); each run takes the rows of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tools/testing/fake_service.h"
#include "tools/testing/gui/driver.h"
#include "tools/testing/proxy_setting.h"

namespace {

struct TCodePageCase {
  const char* Locale;  // of the Wine prefix (QUILLON_WINE_LOCALE), which gives the code page
  UINT CodePage;
  const char* FileName;  // the executable's, in the code page
  const char* Title;
  const char* User;
  const char* Password;
  const char* RefusalUtf8;  // the service's message, as it sends it
  const char* Refusal;      // the same in the code page
};

const TCodePageCase Cases[] = {
    // ÉTÉ.EXE: Été; Zoë, päss; Refusé.
    {"C.UTF-8", 1252, "\xC9T\xC9.EXE", "\xC9t\xE9", "Zo\xEB", "p\xE4ss", "Refus\xC3\xA9", "Refus\xE9"},
    // ソフトウェア.exe, whose first character ends in the byte of "\" and whose others hold capital
    // letters' bytes; 山田, ソ表; 拒否.
    {"ja_JP.UTF-8", 932, "\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41.exe",
     "\x83\x5C\x83\x74\x83\x67\x83\x45\x83\x46\x83\x41", "\x8E\x52\x93\x63", "\x83\x5C\x95\x5C",
     "\xE6\x8B\x92\xE5\x90\xA6", "\x8B\x91\x94\xDB"},
    // アプリ.EXE, whose first character ends in the byte of "A"; the rest as above.
    {"ja_JP.UTF-8", 932, "\x83\x41\x83\x76\x83\x8A.EXE", "\x83\x41\x83\x76\x83\x8A", "\x8E\x52\x93\x63",
     "\x83\x5C\x95\x5C", "\xE6\x8B\x92\xE5\x90\xA6", "\x8B\x91\x94\xDB"},
    // ПРОГРАММА.EXE: Программа; Иван, пароль; Отказано.
    {"ru_RU.UTF-8", 1251, "\xCF\xD0\xCE\xC3\xD0\xC0\xCC\xCC\xC0.EXE", "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0",
     "\xC8\xE2\xE0\xED", "\xEF\xE0\xF0\xEE\xEB\xFC",
     "\xD0\x9E\xD1\x82\xD0\xBA\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD\xD0\xBE", "\xCE\xF2\xEA\xE0\xE7\xE0\xED\xEE"},
};

// The program under the case's file name, in a folder whose name holds "Ł", which none of the code pages
// has (a profile such as C:\Users\Łukasz), and started from there: its own path cannot be had in ANSI.
// Removed again at the end.
class TProgramCopy {
 public:
  explicit TProgramCopy(const char* fileName) : name_(std::string(".\\") + fileName) {
    wchar_t temp[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous_);
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"\u0141ukasz";
    CreateDirectoryW(folder_.c_str(), nullptr);
    if (!SetCurrentDirectoryW(folder_.c_str()) ||
        !CopyFileA(gui::WindowsPath(QUILLON_EXE_4690).c_str(), name_.c_str(), FALSE))
      throw gui::EStepFailed("cannot copy the program to " + name_ + " in a folder of its own");
  }
  ~TProgramCopy() {
    DeleteFileA(name_.c_str());
    SetCurrentDirectoryW(previous_);
    RemoveDirectoryW(folder_.c_str());
  }
  TProgramCopy(const TProgramCopy&) = delete;
  TProgramCopy& operator=(const TProgramCopy&) = delete;
  const std::string& Path() const { return name_; }

 private:
  std::string name_;
  std::wstring folder_;
  wchar_t previous_[MAX_PATH] = {};
};

// A refused and an accepted sign-in, then a start that shows what the accepted one stored.
void SignInAndStartAgain(const TCodePageCase* c) {
  // Wine falls back to code page 1252 where a locale is missing.
  ASSERT_EQ(GetACP(), c->CodePage) << "in " << c->Locale << ": is the locale made (tools/setup.sh)?";

  gui::ForgetRememberedCredentials();
  // The service knows the user by the bytes as typed, in the code page.
  const TFakeService server({
      .SignIns = {{c->User, c->Password, TFakeService::Session("S-1", 3)}},
      .OtherSignIn = TLoopbackServer::Reply(
          200, std::string(R"(<?xml version="1.0" encoding="UTF-8"?><Brovik><license>)") +
                   "<error code=\"5\">" + c->RefusalUtf8 + "</error></license></Brovik>"),
  });
  const TProxySetting proxy(server.Port());
  const TProgramCopy copy(c->FileName);
  {
    const gui::TProgram program(copy.Path());
    const auto dialog = gui::AwaitSignInDialog(program.Pid());
    dialog.Type({c->User, "?", true});
    gui::Click(dialog.LogIn());
    EXPECT_EQ(gui::DismissMessageBox(c->Title, program.Pid()),
              std::string("Unable to log in: ") + c->Refusal + " (error code 5)");
    dialog.AwaitReady();
    dialog.Type({c->User, c->Password, true});
    gui::Click(dialog.LogIn());
    const auto main = gui::AwaitMainWindow(program.Pid());
    EXPECT_EQ(gui::Text(main.Handle()), "Quillon V4.6.9");
    EXPECT_EQ(main.Labels()[0], std::string("User name: ") + c->User);
    main.Exit(program);
    EXPECT_EQ(program.ExitCode(), 0);
  }
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const auto& request : requests) EXPECT_EQ(request.Header("User-Agent"), c->FileName);
  {
    const gui::TProgram program(copy.Path());
    const auto dialog = gui::AwaitSignInDialog(program.Pid());
    EXPECT_EQ(dialog.Shown(), (gui::TFields{c->User, c->Password, true}));
    gui::Click(dialog.Cancel());
    EXPECT_EQ(program.ExitCode(), 0);
  }
  gui::ForgetRememberedCredentials();
}

TEST(CodePage, TheFileNameAndTheTextsOfUserServiceAndRegistryKeepTheirCharacters) {
  const char* set = std::getenv("QUILLON_WINE_LOCALE");
  const std::string locale = set ? set : "C.UTF-8";
  int rows = 0;
  for (const auto& row : Cases) {
    if (row.Locale != locale) continue;
    ++rows;
    SCOPED_TRACE(row.FileName);
    SignInAndStartAgain(&row);
  }
  EXPECT_GT(rows, 0) << "no case for the locale " << locale;
}

}  // namespace
