#pragma once
// An edit field with buttons embedded at its right edge: the ellipsis that
// opens a chooser, and any further button with a glyph of its own. The text
// lives in a standard Edit child, so WM_GETTEXT, the EM_ messages and screen
// readers work on the field as on any edit; the field window passes them on.
//
// The field tells its parent what happens through WM_COMMAND with its own
// control id and window handle: the Edit child's notifications (EN_CHANGE
// and the rest) unchanged, and ButtonEditClick(index) for a click on a
// button. The buttons take neither the focus nor a tab stop: Tab goes from
// field to field, and a click leaves the focus where it was.
#include <windows.h>

#include <string>
#include <vector>

namespace ns {

struct TEditButton {
  std::string Caption;   // shown when there is no glyph, and read by screen readers
  HICON Glyph = nullptr; // not owned: it must outlive the field
};

// The notification code of a click on the button at `index` (0 for the
// first), in the high word of WM_COMMAND's WPARAM.
inline constexpr WORD ButtonEditClickBase = 0x4000;
constexpr WORD ButtonEditClick(int index) { return static_cast<WORD>(ButtonEditClickBase + index); }

// The ellipsis button of most fields.
inline const TEditButton EllipsisButton{"...", nullptr};

// Creates the field as a child of `parent` with control id `id`. `editStyle`
// is added to the Edit child's style (ES_AUTOHSCROLL is always there).
// Throws EWin32Error when a window cannot be created.
HWND CreateButtonEdit(HWND parent, int id, const RECT& bounds, const std::vector<TEditButton>& buttons,
                      DWORD editStyle = 0);

// The Edit child that holds the text (for focus and tab order checks).
HWND ButtonEditField(HWND buttonEdit);

// The button at `index`, or null when there is none.
HWND ButtonEditButton(HWND buttonEdit, int index);

}  // namespace ns
