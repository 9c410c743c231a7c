#include "controls/FlatButton.h"

#include <commctrl.h>
#include <uxtheme.h>

#include "win/Win32Error.h"

namespace ns {

namespace {

constexpr UINT_PTR SubclassId = 1;

bool IsPushed(HWND button) { return (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

bool Contains(HWND button, LPARAM point) {
  RECT client;
  GetClientRect(button, &client);
  return PtInRect(&client, POINT{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))}) != FALSE;
}

// A standard button takes the focus on the mouse press; here the press, the
// tracking and the release are done without it.
LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(button);
      SendMessageA(button, BM_SETSTATE, TRUE, 0);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == button) SendMessageA(button, BM_SETSTATE, Contains(button, lParam), 0);
      return 0;
    case WM_LBUTTONUP: {
      bool clicked = GetCapture() == button && IsPushed(button);
      ReleaseCapture();
      SendMessageA(button, BM_SETSTATE, FALSE, 0);
      if (clicked) {
        SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      SendMessageA(button, BM_SETSTATE, FALSE, 0);
      return 0;
    case WM_GETDLGCODE:
      // Never the default button, never pressed by Enter.
      return DLGC_BUTTON;
    case WM_NCDESTROY:
      RemoveWindowSubclass(button, ButtonProc, SubclassId);
      break;
  }
  return DefSubclassProc(button, message, wParam, lParam);
}

}  // namespace

HWND CreateFlatButton(HWND parent, int id, const std::string& caption, const RECT& bounds, HICON glyph) {
  HWND button = CreateWindowExA(0, "BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_FLAT |
                                (glyph ? BS_ICON : 0), bounds.left, bounds.top, bounds.right - bounds.left,
                                bounds.bottom - bounds.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleA(nullptr), nullptr);
  if (!button) ThrowLastError("CreateWindowExA");
  // A themed button ignores BS_FLAT; without its theme it draws flat.
  SetWindowTheme(button, L"", L"");
  if (glyph) SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyph));
  SetWindowSubclass(button, ButtonProc, SubclassId, 0);
  return button;
}

}  // namespace ns
