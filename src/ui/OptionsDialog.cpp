#include "ui/OptionsDialog.h"

#include <utility>

#include "controls/SpeedButton.h"
#include "tasks/TaskStore.h"

namespace ns {

namespace {

constexpr char OptionsCaption[] = "Настройки";
constexpr int ClientWidth = 342;
constexpr int ClientHeight = 106;
constexpr int Margin = 8;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int ButtonTop = 68;

HWND CreateControl(HWND parent, DWORD exStyle, const char* className, const char* text, DWORD style, int left,
                   int top, int width, int height, int id = 0) {
  return CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, left, top, width, height, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

TOptionsDialog::TOptionsDialog(HWND owner, const std::string& servers, HICON okGlyph)
    // The dialog's window must exist before its panel: it is created first,
    // in the panel's initialiser.
    : Panel1((CreateForm("TFormOptions", OptionsCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                         WS_EX_CONTROLPARENT, ClientWidth, ClientHeight, owner),
              Handle()),
             0, 0, ClientWidth, ClientHeight, true),
      LabelServersName(CreateControl(Panel1.Handle(), 0, "STATIC", "Список компьютеров для отправки протокола:",
                                     SS_LEFT, Margin, 10, ClientWidth - 2 * Margin, 13)),
      ServersName(CreateControl(Panel1.Handle(), WS_EX_CLIENTEDGE, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, Margin,
                                26, ClientWidth - 2 * Margin, 21, IdServersName)),
      bbtOk(CreateControl(Panel1.Handle(), 0, "BUTTON", "Да", WS_TABSTOP | BS_PUSHBUTTON, Margin, ButtonTop,
                          ButtonWidth, ButtonHeight, IdOk)),
      bbtNo(CreateControl(Panel1.Handle(), 0, "BUTTON", "Нет", WS_TABSTOP | BS_PUSHBUTTON,
                          Margin + ButtonWidth + Margin, ButtonTop, ButtonWidth, ButtonHeight, IdNo)),
      owner_(owner),
      tooltips_(CreateToolTips(Handle())) {
  if (okGlyph) SendMessageA(bbtOk, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(okGlyph));
  // The caption shows the program's icon, as the main window's does.
  if (owner) {
    LONG_PTR icon = GetClassLongPtrA(owner, GCLP_HICONSM);
    if (!icon) icon = GetClassLongPtrA(owner, GCLP_HICON);
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, icon);
  }
  AddToolTip(tooltips_, ServersName, "Укажите через точку с запятой список компьютеров для отправки протокола");
  ApplyFormFont(Handle());
  SetWindowTextA(ServersName, servers.c_str());
  // Filling the field counts as a change; what was given is not one.
  Changed = false;
}

std::optional<std::string> TOptionsDialog::Execute() {
  ShowModal(owner_);
  return stored_;
}

void TOptionsDialog::ServersNameChange() { Changed = true; }

void TOptionsDialog::bbtOkClick() {
  if (Changed) {
    int length = GetWindowTextLengthA(ServersName);
    std::string servers(length + 1, '\0');
    servers.resize(GetWindowTextA(ServersName, servers.data(), length + 1));
    if (!WriteServersText(servers)) {
      // Closing now would lose the list the administrator typed: say so and
      // let them try again or cancel.
      MessageBoxA(Handle(), "Список компьютеров не может быть сохранён!", OptionsCaption, MB_ICONERROR | MB_OK);
      return;
    }
    stored_ = std::move(servers);
  }
  EndModal(IDOK);
}

LRESULT TOptionsDialog::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    switch (LOWORD(wParam)) {
      case IdServersName:
        if (HIWORD(wParam) == EN_CHANGE) ServersNameChange();
        return 0;
      case IdOk:
        if (HIWORD(wParam) == BN_CLICKED) bbtOkClick();
        return 0;
      case IdNo:
        EndModal(IDCANCEL);
        return 0;
    }
  }
  return TForm::WndProc(message, wParam, lParam);
}

}  // namespace ns
