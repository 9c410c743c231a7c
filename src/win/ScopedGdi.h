#pragma once
// Scoped GDI: a device context, an object selected into one and a brush,
// pen, font or bitmap the program created are each given back by a
// destructor, so a painting routine that returns early or throws leaves no
// context held and no object selected or leaked.
#include <windows.h>

#include "win/UniqueHandle.h"

namespace ns {

namespace traits {
template <typename Object>
struct GdiObject {
  using Type = Object;
  static Type Empty() { return nullptr; }
  static void Close(Type object) { ::DeleteObject(object); }
};
}  // namespace traits

// Objects this program created (never stock objects, never ones selected
// into a context at the time they go).
using UniqueBitmap = UniqueResource<traits::GdiObject<HBITMAP>>;
using UniqueBrush = UniqueResource<traits::GdiObject<HBRUSH>>;

// BeginPaint to EndPaint, for WM_PAINT.
class TPaintScope {
 public:
  explicit TPaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~TPaintScope() { EndPaint(window_, &paint_); }
  TPaintScope(const TPaintScope&) = delete;
  TPaintScope& operator=(const TPaintScope&) = delete;

  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_ = {};
  HDC dc_;
};

// A window's device context outside WM_PAINT: GetDC, or GetDCEx with
// `flags`, released when the scope ends.
class TWindowDc {
 public:
  explicit TWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  TWindowDc(HWND window, DWORD flags) : window_(window), dc_(GetDCEx(window, nullptr, flags)) {}
  ~TWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  TWindowDc(const TWindowDc&) = delete;
  TWindowDc& operator=(const TWindowDc&) = delete;

  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a context for the scope; the one it replaced goes
// back at the end.
class TSelectObject {
 public:
  TSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~TSelectObject() {
    if (previous_) SelectObject(dc_, previous_);
  }
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace ns
