#pragma once
// TTaskEditor: the modal dialog in which the administrator creates a task
// or changes one. It is given the task as the store holds it (or none, for a
// new one), shows it in its controls, checks what was typed, saves the task
// through the store and hands back what it saved. It can also test the
// connection with the values typed so far, choose folders through the
// shell's folder chooser and open the archive folder.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "tasks/TaskRecord.h"
#include "tasks/TaskStore.h"
#include "win/Form.h"

namespace ns {

// The pictures of the dialog's buttons (resources of the program, not owned:
// they must outlive the dialog). A button without its picture shows its
// caption.
struct TTaskEditGlyphs {
  HICON Ok = nullptr;
  HICON OpenFolder = nullptr;
};

class TTaskEditor : public TForm {
 public:
  // `owner` is the main window: it is disabled while the dialog is shown.
  // `task` is the task to change, as loaded from the store; none for a new
  // task. The dialog is created hidden and filled at once.
  TTaskEditor(HWND owner, std::optional<TStoredTask> task, TTaskEditGlyphs glyphs = {});

  // Shows the dialog centred over its owner and returns once it closed.
  int ShowModal() { return TForm::ShowModal(owner_); }
  // IDOK once a save closed the dialog, IDCANCEL once it was closed without
  // saving, 0 while it is open.
  int ModalResult() const { return modalResult_; }

  bool IsNew() const { return !task_; }
  // The task as it was saved, once "Да" stored it; none while nothing was
  // stored (a cancel, or "Да" without a change).
  const std::optional<TTaskRecord>& Saved() const { return saved_; }
  // Asked when "Да" is pressed for the task being changed: a task that the
  // running backup waits for or runs must not change under it, and one may
  // have been queued while the dialog was open. None: never busy.
  std::function<bool(const std::string& taskName)> isTaskBusy_;
  // Set by every change of an input control, cleared when loading an
  // existing task is complete.
  bool changed_ = false;

  // The controls, in tab order (labels beside their fields), public so that
  // the tests fill and press them as the administrator does.
  HWND nameLabel_ = nullptr, nameField_ = nullptr;
  HWND version82Radio_ = nullptr, version83Radio_ = nullptr;
  HWND connectionGroup_ = nullptr;
  HWND addressLabel_ = nullptr, addressField_ = nullptr;
  HWND userLabel_ = nullptr, userField_ = nullptr, exclusiveBox_ = nullptr;
  HWND passwordLabel_ = nullptr, passwordField_ = nullptr, testConnectionButton_ = nullptr;
  HWND archiveFolderLabel_ = nullptr, archiveFolderField_ = nullptr;
  HWND copyFolderLabel_ = nullptr, copyFolderField_ = nullptr;
  HWND restoreCheckLabel_ = nullptr, restoreCheckList_ = nullptr;
  HWND addNameBox_ = nullptr;
  HWND daysGroup_ = nullptr, daysField_ = nullptr;
  HWND saveButton_ = nullptr, cancelButton_ = nullptr;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool KeyPreview(WPARAM key) override { return MoveFocusOnEnter(key); }

 private:
  static LRESULT CALLBACK DaysFieldProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                        DWORD_PTR form);
  void OnCommand(int id, WORD code);

  void CreateControls();
  void ShowTask();
  void MarkChanged();
  // Clears `key` when the character must not reach the days field.
  void FilterDaysKey(char& key);
  // Key preview: true when the key was taken and must go no further.
  bool MoveFocusOnEnter(WPARAM key);
  // The folder chooser's choice into `field`.
  void OnBrowseInto(HWND field);
  void OnOpenArchiveFolder();
  void OnTestConnection();
  void OnSave();
  // True when the task was written (or there was nothing to write) and the
  // dialog may close; false when it stopped at a message.
  bool Save();

  void Close(int result);
  // A message box titled with the dialog's caption; the focus goes to
  // `focus` afterwards when given.
  void Refuse(const std::string& text, HWND focus = nullptr);
  TTaskRecord RecordFromControls() const;

  HWND owner_;
  std::optional<TStoredTask> task_;
  std::optional<TTaskRecord> saved_;
  HWND toolTips_ = nullptr;
  TTaskEditGlyphs glyphs_;
  int modalResult_ = 0;
  // While the connection is tried the dialog neither closes nor starts
  // another test.
  bool testing_ = false;
};

}  // namespace ns
