// Runs the built installer silently in this tree's prefix, checks what it leaves for the user, and
// uninstalls it again; and makes sure that it refuses a Windows older than the program needs.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tools/testing/gui/driver.h"
#include "win32/handles.h"

namespace {

using namespace std::chrono_literals;

constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillon";
constexpr wchar_t CredentialsKey[] = L"SOFTWARE\\Brovik\\Licenses\\Options";
constexpr wchar_t MarkerValue[] = L"InstallerTestMarker";

// The build tree hands over paths of the build machine, in ASCII.
std::wstring BuildPath(const char* path) {
  const std::string windowsPath = gui::WindowsPath(path);
  return {windowsPath.begin(), windowsPath.end()};
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
  CoTaskMemFree(path);
  return result;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Contents(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool KeyExists(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  RegOpenKeyExW(root, path, 0, KEY_READ, &key);
  return static_cast<bool>(TKeyHandle(key));
}

// A text value, or "<absent>".
std::wstring TextValue(HKEY root, const wchar_t* path, const wchar_t* name) {
  wchar_t text[1024];
  DWORD size = sizeof text;
  if (RegGetValueW(root, path, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
    return L"<absent>";
  return text;
}

// Runs a command line and every process it starts to their end, or kills them at the limit; meanwhile
// answers what they show. The uninstaller, for one, hands over to a copy of itself in the temp folder and
// exits at once.
DWORD RunToEnd(std::wstring command, std::chrono::milliseconds limit,
               const std::function<void()>& meanwhile = {}) {
  const HANDLE job = CreateJobObjectW(nullptr, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!job || !CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                              nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << command;
    if (job) CloseHandle(job);
    return ~0UL;
  }
  AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  try {
    if (meanwhile) meanwhile();
  } catch (const gui::EStepFailed& failed) {
    ADD_FAILURE() << failed.what();
  }
  const bool ended = gui::WaitUntil(
      [&] {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
        return !QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                          nullptr) ||
               info.ActiveProcesses == 0;
      },
      limit);
  if (!ended) {
    ADD_FAILURE() << "still running at the limit: " << command;
    TerminateJobObject(job, 1);
  }
  WaitForSingleObject(process.hProcess, 10000);
  DWORD code = ~0UL;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(job);
  return code;
}

class InstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    installDir_ = KnownFolder(FOLDERID_LocalAppData) + L"\\Programs\\Quillon";
    shortcut_ = KnownFolder(FOLDERID_Programs) + L"\\Quillon.lnk";
    ASSERT_NE(installDir_, L"\\Programs\\Quillon");
    ASSERT_TRUE(Exists(BuildPath(QUILLON_INSTALLER))) << QUILLON_INSTALLER;
  }
  void TearDown() override { CoUninitialize(); }

  void Install() { ASSERT_EQ(RunToEnd(L"\"" + BuildPath(QUILLON_INSTALLER) + L"\" /S", 120s), 0UL); }

  // The way the system's list of programs runs it, made silent.
  void Uninstall() {
    const std::wstring command = TextValue(HKEY_CURRENT_USER, UninstallKey, L"UninstallString");
    ASSERT_NE(command, L"<absent>");
    EXPECT_EQ(RunToEnd(command + L" /S", 120s), 0UL);
  }

  std::wstring Installed(const wchar_t* name) const { return installDir_ + L"\\" + name; }

  std::wstring installDir_;
  std::wstring shortcut_;
};

std::wstring ShortcutTarget(const std::wstring& shortcut) {
  IShellLinkW* link = nullptr;
  std::wstring target = L"<unreadable>";
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return target;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t path[MAX_PATH];
    if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)) &&
        link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK) {
      target = path;
    }
    file->Release();
  }
  link->Release();
  return target;
}

// The names of the files in a folder.
std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The user's remembered credentials live beside the program's own keys; a value there must outlive the
// program. Removes what it added when the test ends.
class TCredentialsMarker {
 public:
  TCredentialsMarker() {
    created_ = !KeyExists(HKEY_CURRENT_USER, CredentialsKey);
    const wchar_t text[] = L"kept";
    if (RegSetKeyValueW(HKEY_CURRENT_USER, CredentialsKey, MarkerValue, REG_SZ, text, sizeof text) !=
        ERROR_SUCCESS)
      ADD_FAILURE() << "cannot write into the credentials key";
  }
  ~TCredentialsMarker() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, CredentialsKey, MarkerValue);
    if (created_) RegDeleteKeyW(HKEY_CURRENT_USER, CredentialsKey);
  }
  TCredentialsMarker(const TCredentialsMarker&) = delete;
  TCredentialsMarker& operator=(const TCredentialsMarker&) = delete;

  static std::wstring Value() { return TextValue(HKEY_CURRENT_USER, CredentialsKey, MarkerValue); }

 private:
  bool created_ = false;
};

// A copy of the installer that Wine runs as on Windows 7. The setting is the copy's alone, by its file
// name: the prefix stays as it is for every other program, and a setting that a killed test leaves
// behind changes nothing for them. Removes both when the test ends.
class TInstallerOnWindows7 {
 public:
  TInstallerOnWindows7() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + Name;
    if (!CopyFileA(gui::WindowsPath(QUILLON_INSTALLER).c_str(), path_.c_str(), FALSE))
      ADD_FAILURE() << "cannot copy the installer to " << path_;
    if (RegSetKeyValueA(HKEY_CURRENT_USER, Key().c_str(), "Version", REG_SZ, "win7", sizeof "win7") !=
        ERROR_SUCCESS)
      ADD_FAILURE() << "cannot set the Windows version of " << Name;
  }
  ~TInstallerOnWindows7() {
    RegDeleteKeyA(HKEY_CURRENT_USER, Key().c_str());
    DeleteFileA(path_.c_str());
  }
  TInstallerOnWindows7(const TInstallerOnWindows7&) = delete;
  TInstallerOnWindows7& operator=(const TInstallerOnWindows7&) = delete;

  const std::string& Path() const { return path_; }

 private:
  static constexpr char Name[] = "quillon-setup-on-windows-7.exe";
  static std::string Key() { return std::string("Software\\Wine\\AppDefaults\\") + Name; }
  std::string path_;
};

TEST_F(InstallerTest, RefusesAnOlderWindowsAndInstallsNothing) {
  const TInstallerOnWindows7 installer;
  const struct {
    const char* Arguments;
    bool ShowsMessage;
  } runs[] = {{"", true}, {"/S", false}};
  for (const auto& run : runs) {
    SCOPED_TRACE(std::string("arguments: ") + run.Arguments);
    const gui::TProgram setup(installer.Path(), run.Arguments);
    if (run.ShowsMessage) {
      EXPECT_THAT(gui::DismissMessageBox("Quillon Setup", setup.Pid(), gui::TBoxLook::IconAllowed),
                  testing::HasSubstr("needs Windows 10, version 1607 or later"));
    }
    // A silent run that showed the message would not end.
    EXPECT_EQ(setup.ExitCode(60s), static_cast<long>(ERROR_OLD_WIN_VERSION));
    EXPECT_FALSE(Exists(installDir_));
    EXPECT_FALSE(Exists(shortcut_));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
  }
}

TEST_F(InstallerTest, InstallsForTheUserAloneStartsAndUninstallsAllButTheRememberedCredentials) {
  const TCredentialsMarker marker;
  ASSERT_NO_FATAL_FAILURE(Install());

  const std::string built = Contents(BuildPath(QUILLON_PROGRAM));
  ASSERT_FALSE(built.empty()) << QUILLON_PROGRAM;
  EXPECT_TRUE(Contents(Installed(L"Quillon.exe")) == built)
      << "the installed program is not the one just built";
  EXPECT_TRUE(Exists(Installed(L"README.txt")));
  EXPECT_TRUE(Exists(Installed(L"Uninstall.exe")));
  EXPECT_TRUE(SamePath(ShortcutTarget(shortcut_), Installed(L"Quillon.exe"))) << shortcut_;
  // The licences of what is linked into the program, as gathered by the build.
  const std::wstring licences = BuildPath(QUILLON_LICENCES);
  const std::wstring gathered = licences + L"\\";
  const std::vector<std::wstring> texts = FilesIn(licences);
  std::string all;
  for (const auto& name : texts) {
    const std::string text = Contents(gathered + name);
    EXPECT_TRUE(Contents(Installed(L"licences\\") + name) == text) << name;
    all += text;
  }
  EXPECT_THAT(FilesIn(Installed(L"licences")), testing::UnorderedElementsAreArray(texts));
  for (const char* part : {"GCC RUNTIME LIBRARY EXCEPTION", "winpthreads", "libstdc++.a",
                           "GNU GENERAL PUBLIC LICENSE\n                       Version 3"})
    EXPECT_THAT(all, testing::HasSubstr(part));

  EXPECT_EQ(TextValue(HKEY_CURRENT_USER, UninstallKey, L"DisplayName"), L"Quillon");
  const std::string version = QUILLON_VERSION_TEXT;
  EXPECT_EQ(TextValue(HKEY_CURRENT_USER, UninstallKey, L"DisplayVersion"),
            std::wstring(version.begin(), version.end()));
  EXPECT_TRUE(SamePath(TextValue(HKEY_CURRENT_USER, UninstallKey, L"InstallLocation"), installDir_));
  EXPECT_EQ(TextValue(HKEY_CURRENT_USER, UninstallKey, L"UninstallString"),
            L"\"" + Installed(L"Uninstall.exe") + L"\"");
  // Under Wine the installer could write machine-wide: nothing may land there.
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_FALSE(Exists(KnownFolder(FOLDERID_CommonPrograms) + L"\\Quillon.lnk"));

  {
    const std::wstring installed = Installed(L"Quillon.exe");
    const gui::TProgram program(std::string(installed.begin(), installed.end()));
    const auto dialog = gui::AwaitSignInDialog(program.Pid(), 30s);
    // While it runs, neither installer nor uninstaller goes on: shown, they ask to close it and try again;
    // silent, they end with ERROR_SHARING_VIOLATION. The uninstaller that Settings runs hands over to a copy
    // of itself and ends with 0 whatever the copy does; in its own folder (_?=) it is the one that ends.
    const std::wstring setup = L"\"" + BuildPath(QUILLON_INSTALLER) + L"\"";
    const std::wstring uninstall = TextValue(HKEY_CURRENT_USER, UninstallKey, L"UninstallString");
    const struct {
      std::wstring Command;
      const char* Asks;  // the question's caption; none when silent
      DWORD ExitCode;
    } runs[] = {{setup + L" /S", nullptr, ERROR_SHARING_VIOLATION},
                {uninstall + L" /S", nullptr, 0},
                {uninstall + L" /S _?=" + installDir_, nullptr, ERROR_SHARING_VIOLATION},
                {uninstall, "Quillon Uninstall", 0},
                {setup, "Quillon Setup", ERROR_SHARING_VIOLATION}};
    for (const auto& run : runs) {
      SCOPED_TRACE(std::string(run.Command.begin(), run.Command.end()));
      const auto answer = [&] {
        if (!run.Asks) return;
        EXPECT_THAT(gui::DismissMessageBox(run.Asks, 0, gui::TBoxLook::RetryCancel, IDCANCEL),
                    testing::HasSubstr("Quillon is running. Close it, then choose Retry"));
      };
      // A silent run that asked would not end.
      EXPECT_EQ(RunToEnd(run.Command, 60s, answer), run.ExitCode);
      for (const wchar_t* name : {L"Quillon.exe", L"README.txt", L"Uninstall.exe"})
        EXPECT_TRUE(Exists(Installed(name))) << name;
      EXPECT_TRUE(Exists(shortcut_));
      ASSERT_EQ(TextValue(HKEY_CURRENT_USER, UninstallKey, L"DisplayName"), L"Quillon");
    }
    // Retry looks again: while the program runs it asks once more; once it has ended, setup goes on.
    RunToEnd(setup, 60s, [&] {
      gui::DismissMessageBox("Quillon Setup", 0, gui::TBoxLook::RetryCancel, IDRETRY);
      gui::Window("Quillon Setup");
      gui::Click(dialog.Cancel());
      // Ended, so that the uninstaller can remove it.
      EXPECT_EQ(program.ExitCode(), 0);
      gui::DismissMessageBox("Quillon Setup", 0, gui::TBoxLook::RetryCancel, IDRETRY);
      HWND page = nullptr;
      gui::Await("setup shows the page for its folder", [&] {
        page = gui::FindVisible("Quillon Setup", 0, true);
        return page && !gui::Controls(page, "Edit").empty();
      });
      gui::Click(GetDlgItem(page, IDCANCEL));
    });
  }

  ASSERT_NO_FATAL_FAILURE(Uninstall());

  for (const wchar_t* name : {L"Quillon.exe", L"README.txt", L"Uninstall.exe", L"licences"}) {
    EXPECT_FALSE(Exists(Installed(name))) << name;
  }
  EXPECT_FALSE(Exists(installDir_));
  EXPECT_FALSE(Exists(shortcut_));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UninstallKey));
  EXPECT_EQ(TCredentialsMarker::Value(), L"kept");
}

}  // namespace
