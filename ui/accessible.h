#pragma once

// What a window of the program tells assistive technology (screen readers) about itself, beyond what the
// system's standard object for a window says.

#include <windows.h>

#include <oleacc.h>

// MinGW's static libraries carry a wrong value for IID_IAccessible, which oleacc then refuses.
inline constexpr IID AccessibleInterface = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

struct TAccessibleClient {
  LONG Role;
  LONG State = 0;  // added to the standard object's
  // With it, the default action posts Action to the window, as input would come.
  const wchar_t* DefaultAction = nullptr;
  UINT Action = 0;
};

// The answer to WM_GETOBJECT: for the client object, the standard one with client's role, state and
// default action in place of its own; 0 for any other object, or when it cannot be made, which leaves
// the message to DefWindowProc.
LRESULT AnswerAccessibleObject(HWND window, WPARAM wParam, LPARAM lParam, const TAccessibleClient& client);
