#include "controls/FlatCheckBox.h"

#include <uxtheme.h>

#include "win/Control.h"

namespace ns {

namespace {

DWORD KindStyle(TCheckKind kind) {
  switch (kind) {
    case TCheckKind::FirstRadio: return BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP;
    // Within a group the arrow keys move between the radio buttons; Tab
    // stops only at the checked one.
    case TCheckKind::NextRadio: return BS_AUTORADIOBUTTON;
    // A check box opens a group of its own, so that it never joins the radio
    // buttons before it.
    default: return BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
  }
}

}  // namespace

HWND CreateFlatCheckBox(HWND parent, int id, const std::string& caption, const RECT& bounds, TCheckKind kind) {
  HWND box = CreateControl({.Parent = parent,
                            .ClassName = "BUTTON",
                            .Text = caption,
                            .Style = BS_FLAT | KindStyle(kind),
                            .Bounds = bounds,
                            .Id = id});
  // A themed button ignores BS_FLAT; without its theme it draws the flat box.
  SetWindowTheme(box, L"", L"");
  return box;
}

bool IsChecked(HWND checkBox) { return SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND checkBox, bool checked) {
  SendMessageA(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace ns
