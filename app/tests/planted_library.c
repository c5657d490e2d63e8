/* A hostile library as a page could drop into a downloads folder: it exports nothing, and when it is
   loaded it notes its own path in loaded.txt beside itself. Only kernel32, so that it loads anywhere. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH + 2];
  char log[MAX_PATH + 16];
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcpyA(log, path);
  char* name = log + length;
  while (name > log && name[-1] != '\\') --name;
  lstrcpyA(name, "loaded.txt");
  path[length] = '\r';
  path[length + 1] = '\n';
  const HANDLE file =
      CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written;
    WriteFile(file, path, length + 2, &written, NULL);
    CloseHandle(file);
  }
  return TRUE;
}
