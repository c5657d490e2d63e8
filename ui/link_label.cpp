#include "ui/link_label.h"

#include <new>
#include <string>
#include <utility>

#include "ui/accessible.h"
#include "ui/error.h"
#include "ui/form.h"
#include "ui/link_color.h"
#include "ui/window_class.h"

namespace {

// Posted by the accessible object's default action; no system message of a dialog's (DM_GETDEFID is
// WM_USER) can be taken for it.
constexpr UINT DefaultActionMessage = WM_APP;

constexpr TAccessibleClient Accessible{ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED, L"Jump", DefaultActionMessage};

bool HighContrast() {
  HIGHCONTRASTA contrast{};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

}  // namespace

// The parent is asked for the cursor first (DefWindowProc): a busy form shows the hourglass over its links.
void TLinkLabel::Register() { RegisterWindowClass(ClassName, WindowProc, IDC_HAND); }

LRESULT CALLBACK TLinkLabel::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* link = reinterpret_cast<TLinkLabel*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    // Without its object the control is not made.
    link = new (std::nothrow) TLinkLabel(window);
    if (!link) return FALSE;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(link));
  } else if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    delete link;
    link = nullptr;
  }
  if (!link) return DefWindowProcA(window, message, wParam, lParam);
  // The window owns the link from WM_NCCREATE to WM_NCDESTROY, which the analyzer cannot follow.
  // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks)
  return CallbackBarrier([&] { return link->HandleWindowMessage(message, wParam, lParam); }, LRESULT{0});
}

LRESULT TLinkLabel::HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:
      SetFont(reinterpret_cast<HFONT>(wParam));
      if (LOWORD(lParam)) InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_.Get());
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:  // the focus rectangle shows or hides
      InvalidateRect(window_, nullptr, TRUE);
      break;
    case WM_GETOBJECT:
      if (const LRESULT object = AnswerAccessibleObject(window_, wParam, lParam, Accessible)) return object;
      break;
    case WM_GETDLGCODE:
      // Enter opens the link rather than pressing the form's default button.
      if (const auto* key = reinterpret_cast<const MSG*>(lParam);
          key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
        return DLGC_WANTMESSAGE;
      return 0;
    case WM_KEYDOWN:
      // Bit 30: the key was down already; holding it does not open the page again and again.
      if ((wParam == VK_RETURN || wParam == VK_SPACE) && !(lParam & 0x40000000)) Clicked();
      return 0;
    case WM_LBUTTONDOWN:
    case DefaultActionMessage:
      Clicked();
      return 0;
  }
  return DefWindowProcA(window_, message, wParam, lParam);
}

void TLinkLabel::SetFont(HFONT font) {
  LOGFONTA face{};
  if (!font || !GetObjectA(font, sizeof face, &face)) return;
  face.lfUnderline = TRUE;
  if (TFont underlined(CreateFontIndirectA(&face)); underlined) font_ = std::move(underlined);
}

void TLinkLabel::Paint() {
  const TPaintDc dc(window_);
  const std::string text = WindowText(window_);
  const TSelection font(dc.Get(), font_ ? font_.Get() : GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc.Get(), LinkColor(HighContrast(), GetSysColor(COLOR_HOTLIGHT)));
  SetBkMode(dc.Get(), TRANSPARENT);
  RECT bounds{};
  GetClientRect(window_, &bounds);
  constexpr UINT Format = DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX;
  DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &bounds, Format);
  // Focus cues as the standard controls beside it show them: hidden until the keyboard is used, where the
  // user's settings say so.
  if (GetFocus() == window_ && !(SendMessageA(window_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
    DrawTextA(dc.Get(), text.c_str(), static_cast<int>(text.size()), &bounds, Format | DT_CALCRECT);
    DrawFocusRect(dc.Get(), &bounds);
  }
}

void TLinkLabel::Clicked() const {
  SendMessageA(GetParent(window_), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window_), STN_CLICKED),
               reinterpret_cast<LPARAM>(window_));
}
