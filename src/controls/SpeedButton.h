#pragma once
// A flat button with a picture and a tooltip, as tool bars have them: flat
// until the mouse is over it, raised under the mouse, sunken while pressed.
// It is a standard button (class "Button", owner-drawn) whose window text is
// its tooltip, so BM_CLICK presses it and WM_GETTEXT names it for screen
// readers. Its holder must pass WM_DRAWITEM back to it (TPanel does).
#include <windows.h>

namespace ns {

class TSpeedButton {
 public:
  // `tooltips`: the tooltip window of the holder (see CreateToolTips).
  TSpeedButton(HWND parent, int id, int left, int top, int width, int height, HICON glyph, const char* hint,
               HWND tooltips);
  ~TSpeedButton();
  TSpeedButton(const TSpeedButton&) = delete;
  TSpeedButton& operator=(const TSpeedButton&) = delete;

  HWND Handle() const { return handle_; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  void Draw(const DRAWITEMSTRUCT& item) const;

  HWND handle_ = nullptr;
  HICON glyph_;
  bool hot_ = false;
};

// A tooltip window for the controls of `parent`.
HWND CreateToolTips(HWND parent);

// Shows `text` when the mouse rests on `control`.
void AddToolTip(HWND tooltips, HWND control, const char* text);

}  // namespace ns
