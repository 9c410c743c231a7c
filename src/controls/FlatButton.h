#pragma once
// A flat push button that never takes the focus, like a tool bar's: the
// focus stays in the field the user is typing in while the button is
// clicked. It is a standard button otherwise, so BM_CLICK presses it, screen
// readers see a button, and the parent receives BN_CLICKED. Having no focus
// it is no tab stop and has no keyboard of its own.
#include <windows.h>

#include <string>

namespace ns {

// Creates the button as a child of `parent` with control id `id`; with a
// glyph it shows the icon (not owned: it must outlive the button) and keeps
// the caption as its name. Throws EWin32Error when it cannot be created.
HWND CreateFlatButton(HWND parent, int id, const std::string& caption, const RECT& bounds, HICON glyph = nullptr);

}  // namespace ns
