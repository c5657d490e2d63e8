#include <windows.h>

#include <cstdlib>
#include <exception>

#include "app/main_form.h"
#include "quillon_config.h"
#include "session/login_form.h"
#include "ui/message.h"
#include "win32/handles.h"

// Takes the place of libstdc++'s default terminate handler, which would print the uncaught exception's
// type to a console that this program does not have, and which brings the whole demangler with it. An
// exception that nothing catches ends the program at once, as the default handler then does too.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }  // NOLINT: the library's own name, to replace it
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before anything is loaded by name: a DLL planted beside the program (a downloads folder) must never
  // be taken for a system one.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Held to the end: the installer and the uninstaller look for it, as they can neither replace nor
  // remove a program that runs.
  const TKernelHandle running(CreateMutexW(nullptr, FALSE, QUILLON_RUNNING_MUTEX));
  int exitCode = 1;
  try {
    Application.Initialize(instance);
    TMainForm& mainForm = Application.CreateForm<TMainForm>();
    mainForm.LogInForm = &Application.CreateForm<TLogInForm>();
    exitCode = Application.Run();
  } catch (const std::exception& error) {
    // The windows could not be made: say so, rather than vanish.
    ShowMessage(error.what());
  }
  Application.Finalize();
  return exitCode;
}
