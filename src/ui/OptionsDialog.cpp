#include "ui/OptionsDialog.h"

#include <utility>

#include "controls/SpeedButton.h"
#include "tasks/TaskStore.h"
#include "win/Control.h"

namespace ns {

namespace {

constexpr char OptionsCaption[] = "Настройки";
constexpr int ClientWidth = 342;
constexpr int ClientHeight = 106;
constexpr int Margin = 8;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int ButtonTop = 68;

// A push button of the row along the bottom.
HWND CreateButton(HWND parent, int id, const char* caption, int left) {
  return CreateControl({.Parent = parent,
                        .ClassName = "BUTTON",
                        .Text = caption,
                        .Style = WS_TABSTOP | BS_PUSHBUTTON,
                        .Bounds = Bounds(left, ButtonTop, ButtonWidth, ButtonHeight),
                        .Id = id});
}

}  // namespace

TOptionsDialog::TOptionsDialog(HWND owner, const std::string& servers, HICON okGlyph)
    // The dialog's window must exist before its panel: it is created first,
    // in the panel's initialiser.
    : panel_((CreateForm({.ClassName = "TFormOptions",
                          .Caption = OptionsCaption,
                          .Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                          .ExStyle = WS_EX_CONTROLPARENT,
                          .Width = ClientWidth,
                          .Height = ClientHeight,
                          .Parent = owner}),
              Handle()),
             0, 0, ClientWidth, ClientHeight, TPanelEdge::Raised),
      serversLabel_(CreateControl({.Parent = panel_.Handle(),
                                   .ClassName = "STATIC",
                                   .Text = "Список компьютеров для отправки протокола:",
                                   .Style = SS_LEFT,
                                   .Bounds = Bounds(Margin, 10, ClientWidth - 2 * Margin, 13)})),
      serversField_(CreateControl({.Parent = panel_.Handle(),
                                   .ClassName = "EDIT",
                                   .Style = WS_TABSTOP | ES_AUTOHSCROLL,
                                   .ExStyle = WS_EX_CLIENTEDGE,
                                   .Bounds = Bounds(Margin, 26, ClientWidth - 2 * Margin, 21),
                                   .Id = IdServers})),
      saveButton_(CreateButton(panel_.Handle(), IdSave, "Да", Margin)),
      cancelButton_(CreateButton(panel_.Handle(), IdCancel, "Нет", Margin + ButtonWidth + Margin)),
      owner_(owner),
      toolTips_(CreateToolTips(Handle())) {
  if (okGlyph) SendMessageA(saveButton_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(okGlyph));
  // The caption shows the program's icon, as the main window's does.
  if (owner) {
    LONG_PTR icon = GetClassLongPtrA(owner, GCLP_HICONSM);
    if (!icon) icon = GetClassLongPtrA(owner, GCLP_HICON);
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, icon);
  }
  AddToolTip(toolTips_, serversField_, "Укажите через точку с запятой список компьютеров для отправки протокола");
  ApplyFormFont(Handle());
  SetWindowTextA(serversField_, servers.c_str());
  // Filling the field counts as a change; what was given is not one.
  changed_ = false;
}

std::optional<std::string> TOptionsDialog::Execute() {
  ShowModal(owner_);
  return stored_;
}

void TOptionsDialog::OnSave() {
  if (changed_) {
    int length = GetWindowTextLengthA(serversField_);
    std::string servers(length + 1, '\0');
    servers.resize(GetWindowTextA(serversField_, servers.data(), length + 1));
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
      case IdServers:
        if (HIWORD(wParam) == EN_CHANGE) changed_ = true;
        return 0;
      case IdSave:
        if (HIWORD(wParam) == BN_CLICKED) OnSave();
        return 0;
      case IdCancel:
        EndModal(IDCANCEL);
        return 0;
    }
  }
  return TForm::WndProc(message, wParam, lParam);
}

}  // namespace ns
