#pragma once
// TFormOptions, "Настройки": the list of computers that receive the report of
// every backup run, stored as the value "Servers" of the program's key. Only
// "Да" after a change stores anything; "Нет", Escape and the close box
// discard what was typed.
#include <windows.h>

#include "win/Form.h"

namespace ns {

class TFormOptions : public TForm {
 public:
  // `okGlyph`: the picture of "Да" (a resource of the program).
  TFormOptions(HWND owner, HICON okGlyph);

  // Shows the dialog modally over its owner; true when a changed list was
  // stored, so that the owner reads it again.
  bool Execute();

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
  void FormCreate();
  void ServersNameChange();
  void bbtOkClick();

  HWND owner_;
  HWND tooltips_;
  bool stored_ = false;
};

}  // namespace ns
