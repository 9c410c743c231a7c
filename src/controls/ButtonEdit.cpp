#include "controls/ButtonEdit.h"

#include <algorithm>

#include "controls/SpeedButton.h"
#include "win/Control.h"
#include "win/Form.h"
#include "win/ScopedGdi.h"
#include "win/Win32Error.h"

namespace ns {

namespace {

constexpr char ClassName[] = "TButtonEdit";
constexpr int EditId = 1;
constexpr int FirstButtonId = 2;
// Room between the field's border and the text, as a plain edit leaves it.
constexpr int TextMargin = 2;

struct TCreation {
  const std::vector<TEditButton>* Buttons;
  DWORD EditStyle;
};

HWND Edit(HWND self) { return GetDlgItem(self, EditId); }

int ButtonCount(HWND self) {
  int count = 0;
  while (GetDlgItem(self, FirstButtonId + count)) ++count;
  return count;
}

int TextHeight(HWND edit) {
  TWindowDc dc(edit);
  TSelectObject font(dc.Dc(), reinterpret_cast<HFONT>(SendMessageA(edit, WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc.Dc(), &metrics);
  return metrics.tmHeight;
}

// Buttons as wide as the field is high, at the right edge; the text
// vertically centred in what is left.
void Layout(HWND self) {
  RECT client;
  GetClientRect(self, &client);
  int count = ButtonCount(self);
  int buttonWidth = client.bottom;
  int buttonsLeft = client.right - count * buttonWidth;
  for (int index = 0; index < count; ++index) {
    MoveWindow(GetDlgItem(self, FirstButtonId + index), buttonsLeft + index * buttonWidth, 0, buttonWidth,
               client.bottom, TRUE);
  }
  HWND edit = Edit(self);
  int textHeight = std::min<int>(TextHeight(edit), client.bottom);
  MoveWindow(edit, TextMargin, (client.bottom - textHeight) / 2, std::max(0, buttonsLeft - 2 * TextMargin), textHeight,
             TRUE);
}

void CreateChildren(HWND self, const TCreation& creation) {
  CreateControl({.Parent = self,
                 .ClassName = "EDIT",
                 .Style = WS_TABSTOP | ES_AUTOHSCROLL | creation.EditStyle,
                 .Id = EditId});
  int id = FirstButtonId;
  for (const TEditButton& button : *creation.Buttons) {
    CreateSpeedButton(self, id++, button.Caption, RECT{}, button.Glyph);
  }
}

void Notify(HWND self, WORD code) {
  SendMessageA(GetParent(self), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(self), code), reinterpret_cast<LPARAM>(self));
}

bool IsEditMessage(UINT message) {
  // The classic EM_ range and the one the common controls added.
  return (message >= EM_GETSEL && message <= 0x00FF) || (message >= 0x1500 && message <= 0x15FF);
}

LRESULT CALLBACK WindowProc(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsEditMessage(message)) return SendMessageA(Edit(self), message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      try {
        CreateChildren(self, *static_cast<const TCreation*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
      } catch (const EWin32Error&) {
        return -1;
      }
      return 0;
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      return SendMessageA(Edit(self), message, wParam, lParam);
    case WM_SETFONT:
      for (HWND child = GetWindow(self, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageA(child, WM_SETFONT, wParam, lParam);
      }
      Layout(self);
      return 0;
    case WM_GETFONT:
      return SendMessageA(Edit(self), WM_GETFONT, 0, 0);
    case WM_SIZE:
      Layout(self);
      return 0;
    case WM_SETFOCUS:
    case WM_LBUTTONDOWN:
      SetFocus(Edit(self));
      return 0;
    case WM_ENABLE:
      for (HWND child = GetWindow(self, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        EnableWindow(child, static_cast<BOOL>(wParam));
      }
      InvalidateRect(self, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(self, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(IsWindowEnabled(self) ? COLOR_WINDOW : COLOR_BTNFACE));
      return 1;
    }
    case WM_DRAWITEM:
      return SendMessageA(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem, WM_REFLECTED_DRAWITEM, wParam, lParam);
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id == EditId) {
        Notify(self, HIWORD(wParam));
      } else if (id >= FirstButtonId && HIWORD(wParam) == BN_CLICKED) {
        Notify(self, ButtonEditClick(id - FirstButtonId));
      }
      return 0;
    }
    default:
      return DefWindowProcA(self, message, wParam, lParam);
  }
}

void RegisterOnce() {
  static const bool registered = [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_IBEAM);
    windowClass.lpszClassName = ClassName;
    CheckWin32(RegisterClassA(&windowClass) != 0, "RegisterClassA");
    return true;
  }();
  (void)registered;
}

}  // namespace

HWND CreateButtonEdit(HWND parent, int id, const RECT& bounds, const std::vector<TEditButton>& buttons,
                      DWORD editStyle) {
  RegisterOnce();
  TCreation creation{&buttons, editStyle};
  // The field is no tab stop itself: the dialog manager looks inside it and
  // stops at the Edit child.
  HWND field = CreateControl({.Parent = parent,
                              .ClassName = ClassName,
                              .Style = WS_CLIPCHILDREN,
                              .ExStyle = WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT,
                              .Bounds = bounds,
                              .Id = id,
                              .CreateParam = &creation});
  Layout(field);
  return field;
}

HWND ButtonEditField(HWND buttonEdit) { return Edit(buttonEdit); }

HWND ButtonEditButton(HWND buttonEdit, int index) { return GetDlgItem(buttonEdit, FirstButtonId + index); }

}  // namespace ns
