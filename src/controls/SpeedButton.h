#pragma once
// A flat speed button, as tool bars have them: flat until the mouse is over
// it, raised under the mouse, sunken while pressed, showing a picture or,
// without one, its caption. It never takes the focus: the focus stays in the
// field the user is typing in while the button is clicked, and it is no tab
// stop. It is a standard button otherwise (class "Button", owner-drawn), so
// BM_CLICK presses it, WM_GETTEXT names it for screen readers and the parent
// receives BN_CLICKED. Its parent passes WM_DRAWITEM back to it as
// WM_REFLECTED_DRAWITEM (forms, panels and the button edit do).
#include <windows.h>

#include <string>

namespace ns {

// Creates the button as a child of `parent` with control id `id`. The glyph
// (not owned: it must outlive the button) is drawn at its own size, centred.
// Throws EWin32Error when the button cannot be created.
HWND CreateSpeedButton(HWND parent, int id, const std::string& caption, const RECT& bounds, HICON glyph = nullptr);

// A tooltip window for the controls of `parent`.
HWND CreateToolTips(HWND parent);

// Shows `text` when the mouse rests on `control`.
void AddToolTip(HWND tooltips, HWND control, const char* text);

}  // namespace ns
