#pragma once
// TMainPanel, the face of the main window that fills its client area: the
// button bar with its five flat buttons, the task list, the splitter, the log
// of the selected task and the status bar with the number of tasks; and what
// the administrator does with them (delete a task, open the options, read
// about the program, run a task now, open its archive folder).
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "backup/RunQueue.h"
#include "app/TaskListView.h"
#include "controls/SpeedButton.h"
#include "controls/Splitter.h"
#include "win/Form.h"

namespace ns {

// Who asked to open the task editor: OnEditRequest behaves by it.
enum class TEditRequest { NewTask, EditTask, DoubleClick, EnterKey };

class TMainPanel : public TPanel {
 public:
  TMainPanel(HWND mainWindow, std::shared_ptr<TRunQueue> runQueue);

  // Lays the controls out over a client area of that size.
  void Layout(int width, int height);
  void FocusList();
  // The running task's stage, in the status bar beside the number of tasks.
  void ShowStage(const std::string& stage);

  void RefreshTaskList(const std::string& nameToSelect);
  void ShowLogOf(int row);
  void OnEditRequest(TEditRequest request);
  void OnDeleteTask();
  void OnOptions();
  void OnAbout();
  void RunNow();
  void OpenArchiveFolder();

  // The context menu of the list for the selected row; the caller owns it.
  HMENU BuildContextMenu() const;

  // Opens the task editor (true: for a new task) and returns when it closed;
  // the editor posts the refresh itself. Tests put their own in its place.
  std::function<void(bool isNew)> openTaskEditor_;

  // Command identifiers of the buttons and of the context menu.
  enum : int {
    // Clear of IDOK and IDCANCEL, which Enter and Escape send.
    IdNewTask = 1001, IdEdit, IdDelete, IdOptions, IdAbout, IdList,
    IdRunNow = 1101, IdEditTask, IdDeleteTask, IdOpenArchiveFolder
  };

  // The controls, public so that the tests drive them as the administrator
  // does. They are created in this order, which is the order of the
  // panel's children and so the tab order: status bar, button bar, list,
  // log, splitter.
  HWND statusBar_;
  TPanel buttonBar_;
  HWND toolTips_;
  HWND newTaskButton_;
  HWND deleteButton_;
  HWND editButton_;
  TTaskListView taskList_;
  HWND aboutButton_;
  HWND logView_;
  TSplitter splitter_;
  HWND optionsButton_;

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool KeyPreview(WPARAM key) override;

 private:
  bool IsSelectedBusy() const;
  std::string SelectedName() const;
  std::string SelectedArchiveFolder() const;
  void ShowContextMenu(LPARAM position);
  void ShowBox(const std::string& text, UINT flags) const;
  std::string MainCaption() const;

  HWND mainWindow_;
  std::shared_ptr<TRunQueue> runQueue_;
  int logHeight_;
};

}  // namespace ns
