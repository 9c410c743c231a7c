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

  // The controls, public so that the tests fill and press them as the
  // administrator does. The panel gives the dialog its raised edge.
  TPanel panel_;
  HWND serversLabel_;
  HWND serversField_;
  HWND saveButton_;
  HWND cancelButton_;

  // Set by every change of the field once it is loaded.
  bool changed_ = false;

  enum : int { IdServers = 1001, IdSave = 1002, IdCancel = IDCANCEL };

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnSave();

  HWND owner_;
  HWND toolTips_;
  std::optional<std::string> stored_;
};

}  // namespace ns
