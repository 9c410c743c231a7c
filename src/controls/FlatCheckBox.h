#pragma once
// Flat check boxes and radio buttons: a standard button control drawn with a
// single-line box whether or not visual styles are on, so the dialogs look
// alike everywhere. Being standard buttons they answer BM_GETCHECK,
// BM_SETCHECK and BM_CLICK, toggle on Space and tell their parent of a click
// with BN_CLICKED.
#include <windows.h>

#include <string>

namespace ns {

enum class TCheckKind {
  CheckBox,
  // A radio button that opens a group: the buttons created after it, up to
  // the next group, are checked one at a time.
  FirstRadio,
  NextRadio,
};

// Creates the control as a child of `parent` with control id `id`. Throws
// EWin32Error when it cannot be created.
HWND CreateFlatCheckBox(HWND parent, int id, const std::string& caption, const RECT& bounds,
                        TCheckKind kind = TCheckKind::CheckBox);

bool IsChecked(HWND checkBox);
void SetChecked(HWND checkBox, bool checked);

}  // namespace ns
