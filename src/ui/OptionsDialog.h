#pragma once
// TOptionsDialog, "Настройки": the list of computers that receive the report
// of every backup run, stored as the value "Servers" of the program's key.
// It is given the list as stored and hands back what it saved. Only "Да"
// after a change stores anything; "Нет", Escape and the close box discard
// what was typed.
#include <windows.h>

#include <optional>
#include <string>

#include "win/Form.h"

namespace ns {

class TOptionsDialog : public TForm {
 public:
  // `servers`: the list as stored. `okGlyph`: the picture of "Да" (a
  // resource of the program).
  TOptionsDialog(HWND owner, const std::string& servers, HICON okGlyph);

  // Shows the dialog modally over its owner; the list as stored when a
  // change was stored, so that the owner takes it; none otherwise.
  std::optional<std::string> Execute();

  TPanel Panel1;
  HWND LabelServersName;
  HWND ServersName;
  HWND bbtOk;
  HWND bbtNo;

  // Set by every change of the field once it is loaded.
  bool Changed = false;

  enum : int { IdServersName = 1001, IdOk = 1002, IdNo = IDCANCEL };

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ServersNameChange();
  void bbtOkClick();

  HWND owner_;
  HWND tooltips_;
  std::optional<std::string> stored_;
};

}  // namespace ns
