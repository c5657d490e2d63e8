#include <windows.h>

#include "app/main_form.h"
#include "session/login_form.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  Application.Initialize(instance);
  TMainForm& mainForm = Application.CreateForm<TMainForm>();
  mainForm.LogInForm = &Application.CreateForm<TLogInForm>();
  const int exitCode = Application.Run();
  Application.Finalize();
  return exitCode;
}
