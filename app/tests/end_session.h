#pragma once

#include <windows.h>

#include <string>

// Ends the Windows session as a log-off does under Wine: every top-level window of the prefix's programs,
// hidden ones too, gets WM_QUERYENDSESSION and then WM_ENDSESSION, and each program that agreed is ended
// once its windows have handled the latter. False when wineboot did not finish within 30 s.
inline bool EndWindowsSession() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION wineboot{};
  std::string command = "wineboot.exe --end-session";
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &wineboot))
    return false;
  const bool ended = WaitForSingleObject(wineboot.hProcess, 30000) == WAIT_OBJECT_0;
  if (!ended) TerminateProcess(wineboot.hProcess, 1);
  CloseHandle(wineboot.hProcess);
  CloseHandle(wineboot.hThread);
  return ended;
}
