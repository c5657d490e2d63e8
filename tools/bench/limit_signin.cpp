// The limit of the sign-in benchmark: what pressing "Log In" up to a visible main window can least cost in
// a fresh process, made the plainest way.
//
//   limit_signin ADDRESS USER
//
// It starts as Quillon.exe does (COM on the thread, the hidden main window) and shows a small "Log In"
// window with one button. The button makes the process's first request, of ADDRESS, with WinINet as
// Quillon does, loads the answer with MSXML 6 as Quillon does, reads the session from it, fills in the
// main window's labels and shows it. Ends with 1, and no main window, when any of that fails; closing the
// main window ends it with 0.
#include <windows.h>

#include <msxml2.h>
#include <oleauto.h>
#include <wininet.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "session/session_state.h"
#include "tools/bench/limit_windows.h"

namespace {

// MinGW ships no library that defines these.
constexpr CLSID DocumentClass = {
    0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
constexpr IID DocumentInterface = {
    0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

constexpr DWORD ReadSize = 32768;

limit::TMainWindow MainWindow;

// The whole body, or false; *size bytes at *body, malloc'ed.
bool Retrieve(const char* address, char** body, DWORD* size) {
  HINTERNET session = InternetOpenA("limit_signin", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) return false;
  DWORD connect = 5000, receive = 300000;
  InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
  HINTERNET url = InternetOpenUrlA(session, address, nullptr, 0, INTERNET_FLAG_RELOAD, 0);
  bool whole = false;
  *body = nullptr;
  *size = 0;
  for (DWORD got = 0; url;) {
    char* grown = static_cast<char*>(std::realloc(*body, *size + ReadSize));
    if (!grown) break;
    *body = grown;
    if (!InternetReadFile(url, *body + *size, ReadSize, &got)) break;
    *size += got;
    if (got == 0) {
      DWORD declared = 0, length = sizeof declared;
      whole = !HttpQueryInfoA(url, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &declared, &length,
                              nullptr) ||
              *size >= declared;
      break;
    }
  }
  if (url) InternetCloseHandle(url);
  InternetCloseHandle(session);
  return whole;
}

bool Named(IXMLDOMNode* node, const wchar_t* name) {
  BSTR text = nullptr;
  const bool same = node->get_nodeName(&text) == S_OK && std::wcscmp(text, name) == 0;
  SysFreeString(text);
  return same;
}

// The first child of parent with this name, or null.
IXMLDOMNode* Child(IXMLDOMNode* parent, const wchar_t* name) {
  IXMLDOMNode* child = nullptr;
  parent->get_firstChild(&child);
  while (child && !Named(child, name)) {
    IXMLDOMNode* next = nullptr;
    child->get_nextSibling(&next);
    child->Release();
    child = next;
  }
  return child;
}

// The attribute's value, or null.
BSTR Attribute(IXMLDOMNode* element, const wchar_t* name) {
  IXMLDOMNamedNodeMap* attributes = nullptr;
  IXMLDOMNode* attribute = nullptr;
  VARIANT value;
  VariantInit(&value);
  BSTR key = SysAllocString(name);
  if (element->get_attributes(&attributes) == S_OK && attributes->getNamedItem(key, &attribute) == S_OK)
    attribute->get_nodeValue(&value);
  SysFreeString(key);
  if (attribute) attribute->Release();
  if (attributes) attributes->Release();
  if (value.vt == VT_BSTR) return value.bstrVal;
  VariantClear(&value);
  return nullptr;
}

// The session's id and access level of the answer, as Quillon's parser reads them; false when the answer
// does not load or holds no session.
bool ReadSession(const char* answer, DWORD size, BSTR* id, long* accessLevel) {
  IXMLDOMDocument2* document = nullptr;
  if (FAILED(CoCreateInstance(DocumentClass, nullptr, CLSCTX_INPROC_SERVER, DocumentInterface,
                              reinterpret_cast<void**>(&document))))
    return false;
  document->put_async(VARIANT_FALSE);
  document->put_validateOnParse(VARIANT_FALSE);
  document->put_resolveExternals(VARIANT_FALSE);
  document->put_preserveWhiteSpace(VARIANT_TRUE);
  VARIANT property;
  VariantInit(&property);
  property.vt = VT_BOOL;
  property.boolVal = VARIANT_TRUE;
  BSTR name = SysAllocString(L"ProhibitDTD");
  document->setProperty(name, property);
  SysFreeString(name);
  property.vt = VT_I4;
  property.lVal = 256;
  name = SysAllocString(L"MaxElementDepth");
  document->setProperty(name, property);
  SysFreeString(name);

  VARIANT source;
  VariantInit(&source);
  source.vt = VT_ARRAY | VT_UI1;
  source.parray = SafeArrayCreateVector(VT_UI1, 0, size);
  void* data = nullptr;
  SafeArrayAccessData(source.parray, &data);
  std::memcpy(data, answer, size);
  SafeArrayUnaccessData(source.parray);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  const bool read = document->load(source, &loaded) == S_OK && loaded == VARIANT_TRUE;
  VariantClear(&source);

  IXMLDOMDocumentType* documentType = nullptr;
  *id = nullptr;
  if (read && SUCCEEDED(document->get_doctype(&documentType)) && !documentType) {
    IXMLDOMNode* root = Child(document, L"Brovik");
    IXMLDOMNode* envelope = root ? Child(root, L"license") : nullptr;
    IXMLDOMNode* session = envelope ? Child(envelope, L"session") : nullptr;
    if (session) {
      *id = Attribute(session, L"id");
      if (BSTR level = Attribute(session, L"accessLevel")) {
        *accessLevel = std::wcstol(level, nullptr, 10);
        SysFreeString(level);
      }
      session->Release();
    }
    if (envelope) envelope->Release();
    if (root) root->Release();
  }
  if (documentType) documentType->Release();
  document->Release();
  return *id && **id;
}

// Fits the label to its text, as Quillon's labels are.
void SetLabel(HWND label, const char* text) {
  SetWindowTextA(label, text);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, limit::Font());
  SIZE extent;
  GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &extent);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  SetWindowPos(label, nullptr, 0, 0, extent.cx + limit::Scale(2), limit::Scale(13),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

void LogIn(HWND form) {
  char* answer = nullptr;
  DWORD size = 0;
  BSTR id = nullptr;
  long accessLevel = -2;
  const bool signedIn = Retrieve(__argv[1], &answer, &size) && ReadSession(answer, size, &id, &accessLevel);
  std::free(answer);
  SysFreeString(id);
  if (!signedIn) {
    PostQuitMessage(1);
    return;
  }
  char text[128];
  std::snprintf(text, sizeof text, "User name: %s", __argv[2]);
  SetLabel(MainWindow.UserLabel, text);
  std::snprintf(text, sizeof text, "Access level: %s",
                AccessLevelName(static_cast<std::int32_t>(accessLevel)).c_str());
  SetLabel(MainWindow.AccessLevelLabel, text);
  ShowWindow(form, SW_HIDE);
  ShowWindow(MainWindow.Window, SW_SHOW);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc != 3) return 2;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  limit::Initialize(instance);
  limit::SetLogIn(LogIn);
  MainWindow = limit::MakeMainWindow(LIMIT_MAIN_CAPTION);
  HWND form =
      limit::MakeForm("Log In", WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, limit::Scale(160), limit::Scale(80));
  limit::AddControl(form, "BUTTON", "Log In", WS_TABSTOP | BS_DEFPUSHBUTTON, 48, 16, 48, 25, IDOK);
  ShowWindow(form, SW_SHOW);
  SetForegroundWindow(form);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(form, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  CoUninitialize();
  return static_cast<int>(message.wParam);
}
