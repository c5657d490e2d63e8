#include "win32/system_library.h"

#include <windows.h>

#include <string>

void LoadSystemLibraries(std::initializer_list<const char*> names) {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  for (const char* name : names) {
    const std::string path = std::string(folder, length) + '\\' + name;
    // A library that is missing here is missing for the load by name too, which then fails as it would.
    LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

void PrepareFirstWindow() {
  [[maybe_unused]] static const bool Loaded = (LoadSystemLibraries({"ole32.dll", "msimg32.dll"}), true);
}
