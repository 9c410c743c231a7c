#pragma once
// TFormTaskEdit: the modal dialog in which the administrator creates a task
// or changes the one selected in the main window's list. It shows one task
// in its controls, checks the name, writes the task into the registry and
// tells the main window which task to select after it refreshes its list.
// It can also test the connection with the values typed so far, choose
// folders through the shell's folder chooser and open the archive folder.
#include <windows.h>

#include <functional>
#include <string>

#include "tasks/LaunchParameters.h"
#include "win/Form.h"

namespace ns {

// The pictures of the dialog's buttons (resources of the program, not owned:
// they must outlive the dialog). A button without its picture shows its
// caption.
struct TTaskEditGlyphs {
  HICON Ok = nullptr;
  HICON OpenFolder = nullptr;
};

class TFormTaskEdit : public TForm {
 public:
  // `owner` is the main window: it is disabled while the dialog is shown and
  // receives WM_REFRESH_TASKS after a save. `listView` is its task list;
  // when `isNew` is false its selected item (caption: the task name, first
  // sub-item: the launch parameter string) is the task to change. The
  // dialog is created hidden and loaded at once.
  TFormTaskEdit(HWND owner, bool isNew, HWND listView, TTaskEditGlyphs glyphs = {});
  ~TFormTaskEdit() override;

  // Shows the dialog centred over its owner and returns once it closed.
  int ShowModal() { return TForm::ShowModal(owner_); }
  // IDOK once a save closed the dialog, IDCANCEL once it was closed without
  // saving, 0 while it is open.
  int ModalResult() const { return modalResult_; }

  const bool IsNew;
  // Asked when "Да" is pressed for the task being changed: a task that the
  // running backup waits for or runs must not change under it, and one may
  // have been queued while the dialog was open. None: never busy.
  std::function<bool(const std::string& taskName)> IsTaskBusy;
  // Set by every change of an input control, cleared when loading an
  // existing task is complete.
  bool Changed = false;

  // The controls, in tab order (labels beside their fields).
  HWND LabelTaskName = nullptr, TaskName = nullptr;
  HWND ChPlatform82 = nullptr, ChPlatform83 = nullptr;
  HWND GroupBoxConnection = nullptr;
  HWND LabelBase = nullptr, Base = nullptr;
  HWND LabelUser = nullptr, User = nullptr, ChExclusively = nullptr;
  HWND LabelPassword = nullptr, Password = nullptr, sbTestConnection = nullptr;
  HWND LabelDumpIB = nullptr, DumpIB = nullptr;
  HWND ChAddName = nullptr;
  HWND GroupBoxDays = nullptr, Days = nullptr;
  HWND bbtOk = nullptr, bbtNo = nullptr;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool KeyPreview(WPARAM key) override { return FormKeyDown(key); }

 private:
  static LRESULT CALLBACK DaysProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR form);
  void OnCommand(int id, WORD code);

  void CreateControls();
  void FormCreate();
  void TaskNameChange();
  // Clears `key` when the character must not reach Days.
  void DaysKeyPress(char& key);
  // Key preview: true when the key was taken and must go no further.
  bool FormKeyDown(WPARAM key);
  void BaseEditButtons0Click();
  void DumpIBEditButtons0Click();
  void DumpIBEditButtons1Click();
  void sbTestConnectionClick();
  void bbtOkClick();
  // True when the task was written (or there was nothing to write) and the
  // dialog may close; false when it stopped at a message.
  bool SaveTask();

  void Close(int result);
  // A message box titled with the dialog's caption; the focus goes to
  // `focus` afterwards when given.
  void Refuse(const std::string& text, HWND focus = nullptr);
  TTaskRecord ControlsRecord() const;
  std::string SelectedTaskName() const;
  std::string SelectedLaunchParameters() const;

  HWND owner_;
  HWND listView_;
  HWND hint_ = nullptr;
  TTaskEditGlyphs glyphs_;
  int modalResult_ = 0;
  // While the connection is tried the dialog neither closes nor starts
  // another test.
  bool testing_ = false;
};

// The shell's folder chooser over the whole name space, owned by `owner`:
// the chosen folder's path, or empty text when the user cancelled (or chose
// something that is not a file-system folder).
std::string BrowseForFolder(HWND owner);

}  // namespace ns
