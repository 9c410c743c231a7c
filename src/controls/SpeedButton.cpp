#include "controls/SpeedButton.h"

#include <commctrl.h>

#include "win/Control.h"
#include "win/Form.h"
#include "win/ScopedGdi.h"

namespace ns {

namespace {

constexpr UINT_PTR SubclassId = 1;

// What a button draws beyond its caption and state, which the system keeps;
// it lives as long as the button's subclass. An owner-drawn button keeps no
// image of its own, so the glyph is kept here and answers BM_GETIMAGE and
// BM_SETIMAGE as a standard button's would.
struct TButtonLook {
  HICON Glyph = nullptr;
  bool Hot = false;
};

SIZE IconSize(HICON icon) {
  ICONINFO info = {};
  if (!GetIconInfo(icon, &info)) return {};
  // The icon's bitmaps are copies made for this call.
  UniqueBitmap color(info.hbmColor);
  UniqueBitmap mask(info.hbmMask);
  BITMAP bitmap = {};
  GetObjectA(color ? color.get() : mask.get(), sizeof bitmap, &bitmap);
  // A monochrome icon's mask holds the AND and the XOR halves one over the other.
  return {bitmap.bmWidth, color ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

bool IsPushed(HWND button) { return (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

bool Contains(HWND button, LPARAM point) {
  RECT client;
  GetClientRect(button, &client);
  return PtInRect(&client, POINT{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))}) != FALSE;
}

void SetHot(HWND button, TButtonLook& look, bool hot) {
  if (look.Hot == hot) return;
  look.Hot = hot;
  if (hot) {
    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, button, 0};
    TrackMouseEvent(&track);
  }
  InvalidateRect(button, nullptr, FALSE);
}

void Draw(HWND button, const TButtonLook& look, const DRAWITEMSTRUCT& item) {
  RECT face = item.rcItem;
  FillRect(item.hDC, &face, GetSysColorBrush(COLOR_BTNFACE));
  bool pressed = item.itemState & ODS_SELECTED;
  bool disabled = item.itemState & ODS_DISABLED;
  if (pressed) {
    DrawEdge(item.hDC, &face, BDR_SUNKENOUTER, BF_RECT);
  } else if (look.Hot && !disabled) {
    DrawEdge(item.hDC, &face, BDR_RAISEDINNER, BF_RECT);
  }
  int offset = pressed ? 1 : 0;
  if (HICON glyph = look.Glyph) {
    SIZE size = IconSize(glyph);
    int left = (face.right - face.left - size.cx) / 2 + offset;
    int top = (face.bottom - face.top - size.cy) / 2 + offset;
    DrawStateA(item.hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(glyph), 0, left, top, size.cx, size.cy,
               DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
    return;
  }
  char caption[128] = {};
  GetWindowTextA(button, caption, sizeof caption);
  OffsetRect(&face, offset, offset);
  TSelectObject font(item.hDC, reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)));
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  DrawTextA(item.hDC, caption, -1, &face, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// A standard button takes the focus on the mouse press; here the press, the
// tracking and the release are done without it.
LRESULT CALLBACK ButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
  auto& look = *reinterpret_cast<TButtonLook*>(data);
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(button);
      SendMessageA(button, BM_SETSTATE, TRUE, 0);
      return 0;
    case WM_MOUSEMOVE:
      if (GetCapture() == button) SendMessageA(button, BM_SETSTATE, Contains(button, lParam), 0);
      else SetHot(button, look, true);
      return 0;
    case WM_MOUSELEAVE:
      SetHot(button, look, false);
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
    case BM_GETIMAGE:
      return wParam == IMAGE_ICON ? reinterpret_cast<LRESULT>(look.Glyph) : 0;
    case BM_SETIMAGE: {
      if (wParam != IMAGE_ICON) return 0;
      HICON previous = look.Glyph;
      look.Glyph = reinterpret_cast<HICON>(lParam);
      InvalidateRect(button, nullptr, FALSE);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_REFLECTED_DRAWITEM:
      Draw(button, look, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_NCDESTROY:
      RemoveWindowSubclass(button, ButtonProc, SubclassId);
      delete &look;
      break;
  }
  return DefSubclassProc(button, message, wParam, lParam);
}

}  // namespace

HWND CreateSpeedButton(HWND parent, int id, const std::string& caption, const RECT& bounds, HICON glyph) {
  HWND button = CreateControl(
      {.Parent = parent, .ClassName = "BUTTON", .Text = caption, .Style = BS_OWNERDRAW, .Bounds = bounds, .Id = id});
  SetWindowSubclass(button, ButtonProc, SubclassId, reinterpret_cast<DWORD_PTR>(new TButtonLook{glyph}));
  return button;
}

HWND CreateToolTips(HWND parent) {
  return CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

void AddToolTip(HWND tooltips, HWND control, const char* text) {
  TOOLINFOA tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(control);
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<char*>(text);
  SendMessageA(tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace ns
