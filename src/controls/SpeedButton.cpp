#include "controls/SpeedButton.h"

#include <commctrl.h>

#include "win/Form.h"
#include "win/Win32Error.h"

namespace ns {

namespace {
constexpr UINT_PTR SubclassId = 1;
constexpr int GlyphSize = 32;
}  // namespace

TSpeedButton::TSpeedButton(HWND parent, int id, int left, int top, int width, int height, HICON glyph,
                           const char* hint, HWND tooltips)
    : glyph_(glyph) {
  handle_ = CreateWindowExA(0, "BUTTON", hint, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, left, top, width, height,
                            parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                            nullptr);
  if (!handle_) ThrowLastError("CreateWindowExA");
  SetWindowSubclass(handle_, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
  AddToolTip(tooltips, handle_, hint);
}

TSpeedButton::~TSpeedButton() {
  if (IsWindow(handle_)) {
    RemoveWindowSubclass(handle_, SubclassProc, SubclassId);
    DestroyWindow(handle_);
  }
}

LRESULT CALLBACK TSpeedButton::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self) {
  auto* button = reinterpret_cast<TSpeedButton*>(self);
  switch (message) {
    case WM_MOUSEMOVE:
      if (!button->hot_) {
        button->hot_ = true;
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        InvalidateRect(window, nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      button->hot_ = false;
      InvalidateRect(window, nullptr, FALSE);
      break;
    case WM_REFLECTED_DRAWITEM:
      button->Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

void TSpeedButton::Draw(const DRAWITEMSTRUCT& item) const {
  RECT face = item.rcItem;
  FillRect(item.hDC, &face, GetSysColorBrush(COLOR_BTNFACE));
  bool pressed = item.itemState & ODS_SELECTED;
  bool disabled = item.itemState & ODS_DISABLED;
  if (pressed) {
    DrawEdge(item.hDC, &face, BDR_SUNKENOUTER, BF_RECT);
  } else if (hot_ && !disabled) {
    DrawEdge(item.hDC, &face, BDR_RAISEDINNER, BF_RECT);
  }
  int offset = pressed ? 1 : 0;
  int left = (face.right - face.left - GlyphSize) / 2 + offset;
  int top = (face.bottom - face.top - GlyphSize) / 2 + offset;
  if (disabled) {
    DrawStateA(item.hDC, nullptr, nullptr, reinterpret_cast<LPARAM>(glyph_), 0, left, top, GlyphSize, GlyphSize,
               DST_ICON | DSS_DISABLED);
  } else {
    DrawIconEx(item.hDC, left, top, glyph_, GlyphSize, GlyphSize, 0, nullptr, DI_NORMAL);
  }
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
