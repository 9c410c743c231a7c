#include "controls/Splitter.h"

#include <windowsx.h>

#include <algorithm>

#include "win/ScopedGdi.h"

namespace ns {

TSplitter::TSplitter(HWND parent, int height) : height_(height) {
  CreateForm({.ClassName = "TSplitter", .Style = WS_CHILD | WS_VISIBLE, .Height = height, .Parent = parent});
  SetClassLongPtrA(Handle(), GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(LoadCursor(nullptr, IDC_SIZENS)));
}

void TSplitter::SetRange(int minTop, int maxTop) {
  minTop_ = minTop;
  maxTop_ = std::max(minTop, maxTop);
}

int TSplitter::TopFor(LPARAM mouse) const {
  POINT point = {GET_X_LPARAM(mouse), GET_Y_LPARAM(mouse)};
  MapWindowPoints(Handle(), GetParent(Handle()), &point, 1);
  return std::clamp(static_cast<int>(point.y) - grip_, minTop_, maxTop_);
}

void TSplitter::InvertLine(int top) const {
  HWND parent = GetParent(Handle());
  RECT client;
  GetClientRect(parent, &client);
  // Not clipped by the holder's other controls: the line crosses them.
  TWindowDc dc(parent, DCX_CACHE);
  static const WORD halftone[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
  UniqueBitmap pattern(CreateBitmap(8, 8, 1, 1, halftone));
  UniqueBrush brush(CreatePatternBrush(pattern.get()));
  TSelectObject select(dc.Dc(), brush.get());
  PatBlt(dc.Dc(), 0, top, client.right, height_, PATINVERT);
}

LRESULT TSplitter::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      grip_ = GET_Y_LPARAM(lParam);
      SetCapture(Handle());
      lineTop_ = TopFor(lParam);
      InvertLine(lineTop_);
      return 0;
    case WM_MOUSEMOVE:
      if (lineTop_ >= 0) {
        InvertLine(lineTop_);
        lineTop_ = TopFor(lParam);
        InvertLine(lineTop_);
      }
      return 0;
    case WM_LBUTTONUP:
      if (lineTop_ >= 0) {
        InvertLine(lineTop_);
        int top = TopFor(lParam);
        lineTop_ = -1;
        ReleaseCapture();
        if (onMoved_) onMoved_(top);
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (lineTop_ >= 0) {
        InvertLine(lineTop_);
        lineTop_ = -1;
      }
      return 0;
  }
  return TForm::WndProc(message, wParam, lParam);
}

}  // namespace ns
