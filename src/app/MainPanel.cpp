#include "app/MainPanel.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "AboutText.h"
#include "backup/TaskLock.h"
#include "backup/TaskStatus.h"
#include "app/WindowMessages.h"
#include "win/Registry.h"
#include "res/ResourceIds.h"
#include "tasks/ScramblePassword.h"
#include "tasks/TaskStore.h"
#include "ui/OptionsDialog.h"
#include "ui/TaskEditor.h"
#include "win/Control.h"
#include "win/RegistryKey.h"

namespace ns {

namespace {

constexpr int ButtonBarHeight = 44;
constexpr int ButtonWidth = 41;
constexpr int ButtonHeight = 40;
constexpr int ButtonTop = 2;
// The about button keeps this distance from the right edge (588 in a 633 wide
// window).
constexpr int InfoRightMargin = 45;
constexpr int SplitterHeight = 3;
constexpr int InitialLogHeight = 80;
// Neither the list nor the log may be dragged away completely.
constexpr int MinimumPaneHeight = 1;
// How often the list looks again while it shows a task that another
// instance runs.
constexpr UINT_PTR ElsewhereTimerId = 1;
constexpr UINT ElsewhereRefreshMs = 3000;

HICON Glyph(int id, int size = 32) {
  return static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_SHARED));
}

// A button of the bar along the top: a picture, its hint as tooltip and name.
HWND ToolButton(HWND bar, int id, int left, int glyphId, const char* hint, HWND tooltips) {
  HWND button = CreateSpeedButton(bar, id, hint, Bounds(left, ButtonTop, ButtonWidth, ButtonHeight), Glyph(glyphId));
  AddToolTip(tooltips, button, hint);
  return button;
}

HWND CreateStatusBar(HWND parent) {
  HWND bar = CreateControl({.Parent = parent, .ClassName = STATUSCLASSNAMEA});
  // The number of tasks, then the running task's stage.
  int parts[] = {120, -1};
  SendMessageA(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  return bar;
}

HWND CreateLogView(HWND parent) {
  return CreateControl({.Parent = parent,
                        .ClassName = "EDIT",
                        .Style = WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                        .ExStyle = WS_EX_CLIENTEDGE});
}

}  // namespace

TMainPanel::TMainPanel(HWND mainWindow, std::shared_ptr<TRunQueue> runQueue)
    : TPanel(mainWindow, 0, 0, 0, 0),
      statusBar_(CreateStatusBar(Handle())),
      buttonBar_(Handle(), 0, 0, 0, ButtonBarHeight),
      toolTips_(CreateToolTips(Handle())),
      newTaskButton_(ToolButton(buttonBar_.Handle(), IdNewTask, 2, IDI_GLYPH_INSERT, "Новое задание", toolTips_)),
      deleteButton_(ToolButton(buttonBar_.Handle(), IdDelete, 84, IDI_GLYPH_DELETE, "Удалить задание", toolTips_)),
      editButton_(ToolButton(buttonBar_.Handle(), IdEdit, 43, IDI_GLYPH_EDIT, "Изменить задание", toolTips_)),
      taskList_(Handle(), IdList),
      aboutButton_(ToolButton(buttonBar_.Handle(), IdAbout, 588, IDI_GLYPH_INFO, "Информация", toolTips_)),
      logView_(CreateLogView(Handle())),
      splitter_(Handle(), SplitterHeight),
      optionsButton_(ToolButton(buttonBar_.Handle(), IdOptions, 160, IDI_GLYPH_OPTIONS, "Опции", toolTips_)),
      mainWindow_(mainWindow),
      runQueue_(std::move(runQueue)),
      logHeight_(InitialLogHeight) {
  openTaskEditor_ = [this](bool isNew) {
    std::optional<TStoredTask> task;
    if (!isNew) {
      task = LoadTask(SelectedName());
      // Deleted since the list was read: the list, read again, shows it gone.
      if (!task) {
        PostMessageA(mainWindow_, WM_REFRESH_TASKS, 0, 0);
        return;
      }
    }
    TTaskEditor editor(mainWindow_, std::move(task), {Glyph(IDI_GLYPH_OK, 16), Glyph(IDI_GLYPH_OPEN_FOLDER, 16)});
    editor.isTaskBusy_ = [this](const std::string& name) { return IsBusyStatus(runQueue_->StatusOf(name)); };
    editor.ShowModal();
    if (editor.Saved()) PostRefreshSelecting(mainWindow_, editor.Saved()->Name);
  };
  splitter_.onMoved_ = [this](int top) {
    RECT client;
    GetClientRect(Handle(), &client);
    RECT status;
    GetWindowRect(statusBar_, &status);
    logHeight_ = client.bottom - (status.bottom - status.top) - top - SplitterHeight;
    Layout(client.right, client.bottom);
  };
  ApplyFormFont(Handle());
  // Tab from the list reaches the log and back; the buttons, like any tool
  // bar's, are for the mouse.
  SetFocus(taskList_.Handle());
}

void TMainPanel::Layout(int width, int height) {
  MoveWindow(Handle(), 0, 0, width, height, TRUE);
  MoveWindow(buttonBar_.Handle(), 0, 0, width, ButtonBarHeight, TRUE);
  SetWindowPos(aboutButton_, nullptr, std::max(width - InfoRightMargin, 0), ButtonTop, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);

  // The status bar places and sizes itself along the bottom edge.
  SendMessageA(statusBar_, WM_SIZE, 0, 0);
  RECT status;
  GetWindowRect(statusBar_, &status);
  int statusTop = height - (status.bottom - status.top);

  // The log keeps its height while the window is resized, as long as the
  // list keeps a line of its own.
  int room = statusTop - ButtonBarHeight - SplitterHeight;
  int logHeight = std::clamp(logHeight_, MinimumPaneHeight, std::max(room - MinimumPaneHeight, MinimumPaneHeight));
  int logTop = statusTop - logHeight;
  int splitterTop = logTop - SplitterHeight;
  MoveWindow(logView_, 0, logTop, width, logHeight, TRUE);
  MoveWindow(splitter_.Handle(), 0, splitterTop, width, SplitterHeight, TRUE);
  MoveWindow(taskList_.Handle(), 0, ButtonBarHeight, width, std::max(splitterTop - ButtonBarHeight, 0), TRUE);
  splitter_.SetRange(ButtonBarHeight + MinimumPaneHeight, statusTop - MinimumPaneHeight - SplitterHeight);
  taskList_.FitColumns();
}

void TMainPanel::FocusList() { SetFocus(taskList_.Handle()); }

void TMainPanel::ShowStage(const std::string& stage) {
  SendMessageA(statusBar_, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(stage.c_str()));
}

void TMainPanel::RefreshTaskList(const std::string& nameToSelect) {
  TRegistryKey store;
  if (store.Open(HKEY_CURRENT_USER, TaskStoreKeyPath, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE)) {
    std::vector<std::string> names = store.SubKeyNames();
    store.Close();
    int remembered = std::max(taskList_.Selected(), 0);
    SendMessageA(taskList_.Handle(), WM_SETREDRAW, FALSE, 0);
    taskList_.Clear();
    bool elsewhere = false;
    for (const std::string& name : names) {
      TRegistryKey task = OpenTask(name);
      if (!task.IsOpen()) continue;
      std::string queueStatus = runQueue_->StatusOf(name);
      if (queueStatus.empty() && IsTaskLockHeld(name)) {
        queueStatus = StatusElsewhere;
        elsewhere = true;
      }
      TTaskListCells cells = TaskListCells(queueStatus, task.ReadText("StateDateTime"), task.ReadText("State"));
      taskList_.Add({name, task.ReadText(""), cells.DateTime, cells.Status});
    }
    int row = nameToSelect.empty() ? -1 : taskList_.Find(nameToSelect);
    int count = taskList_.Count();
    if (row < 0 && count > 0) {
      // The row that took the place of the selected one: after deleting the
      // last row, the new last one.
      row = remembered;
      if (row == count) row = count - 1;
      if (row > count - 1) row = count - 1;
    }
    if (row >= 0) taskList_.Select(row);
    SendMessageA(taskList_.Handle(), WM_SETREDRAW, TRUE, 0);
    // Nothing tells this window when another instance is done: it looks
    // again now and then while the list shows such a task.
    if (elsewhere) {
      SetTimer(Handle(), ElsewhereTimerId, ElsewhereRefreshMs, nullptr);
    } else {
      KillTimer(Handle(), ElsewhereTimerId);
    }
    InvalidateRect(taskList_.Handle(), nullptr, TRUE);
  }
  std::string total = "Всего: " + std::to_string(taskList_.Count());
  SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(total.c_str()));
}

void TMainPanel::ShowLogOf(int row) {
  if (taskList_.Count() == 0 || taskList_.Selected() < 0) return;
  if (IsBusyStatus(taskList_.Text(row, TTaskListView::ColumnStatus))) {
    SetWindowTextA(logView_, "");
    return;
  }
  std::string log;
  if (!ReadRegistryString(HKEY_CURRENT_USER, TaskKeyPath(taskList_.Text(row, TTaskListView::ColumnName)), "Log",
                          log)) {
    log.clear();
  }
  SetWindowTextA(logView_, log.c_str());
}

bool TMainPanel::IsSelectedBusy() const {
  int row = taskList_.Selected();
  return row >= 0 && IsBusyStatus(taskList_.Text(row, TTaskListView::ColumnStatus));
}

std::string TMainPanel::SelectedName() const {
  int row = taskList_.Selected();
  return row >= 0 ? taskList_.Text(row, TTaskListView::ColumnName) : std::string();
}

void TMainPanel::OnEditRequest(TEditRequest request) {
  bool isNew = request == TEditRequest::NewTask;
  if (!isNew && taskList_.Selected() < 0) return;
  // A task the worker waits for or runs must not change under it; while one
  // is selected not even a new task is begun.
  if (IsSelectedBusy()) return;
  if (openTaskEditor_) openTaskEditor_(isNew);
}

void TMainPanel::OnDeleteTask() {
  if (taskList_.Count() == 0 || taskList_.Selected() < 0) return;
  if (IsSelectedBusy()) return;
  std::string name = SelectedName();
  if (MessageBoxA(mainWindow_, ("Удалить задание " + name + "?").c_str(), MainCaption().c_str(),
                  MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  // The box lets the window go on with its messages: a later start's
  // hand-over or the scheduler may have queued the task meanwhile.
  if (IsBusyStatus(runQueue_->StatusOf(name))) {
    ShowBox("Задание " + name + " поставлено в очередь или выполняется: удалить его сейчас нельзя.",
            MB_ICONERROR | MB_OK);
    return;
  }
  if (DeleteTask(name)) {
    PostMessageA(mainWindow_, WM_REFRESH_TASKS, 0, 0);
  } else {
    ShowBox("Задание " + name + " не может быть удалено!", MB_ICONERROR | MB_OK);
  }
}

void TMainPanel::OnOptions() {
  std::string servers;
  ReadServersText(servers);
  TOptionsDialog options(mainWindow_, servers, Glyph(IDI_GLYPH_OK, 16));
  if (options.Execute()) PostMessageA(mainWindow_, WM_REFRESH_TASKS, 0, 0);
}

void TMainPanel::OnAbout() {
  std::string about = ScramblePassword(AboutTextEnciphered, AboutTextKey, false);
  MessageBoxA(mainWindow_, about.c_str(), "О программе", MB_ICONINFORMATION | MB_OK);
}

void TMainPanel::RunNow() {
  std::string name = SelectedName();
  if (name.empty() || IsSelectedBusy()) return;
  // As a later start's hand-over does: queue it, show it waiting, and have a
  // worker take it (the running one, if any, takes it after its task).
  runQueue_->QueueTask(name);
  PostMessageA(mainWindow_, WM_REFRESH_TASKS, 0, 0);
  PostMessageA(mainWindow_, WM_START_WORKER, 0, 0);
}

std::string TMainPanel::SelectedArchiveFolder() const {
  std::string name = SelectedName();
  if (name.empty()) return {};
  std::optional<TStoredTask> task = LoadTask(name);
  return task ? task->Record.DumpIB : std::string();
}

void TMainPanel::OpenArchiveFolder() {
  std::string folder = SelectedArchiveFolder();
  if (folder.empty()) return;
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(mainWindow_, "open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) ShowBox("Каталог архива " + folder + " не может быть открыт.", MB_ICONERROR | MB_OK);
}

HMENU TMainPanel::BuildContextMenu() const {
  HMENU menu = CreatePopupMenu();
  bool selected = taskList_.Selected() >= 0;
  UINT usable = selected && !IsSelectedBusy() ? MF_ENABLED : MF_GRAYED;
  AppendMenuA(menu, MF_STRING | usable, IdRunNow, "Выполнить сейчас");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | usable, IdEditTask, "Изменить");
  AppendMenuA(menu, MF_STRING | usable, IdDeleteTask, "Удалить");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | (!SelectedArchiveFolder().empty() ? MF_ENABLED : MF_GRAYED), IdOpenArchiveFolder,
              "Открыть каталог архива");
  SetMenuDefaultItem(menu, IdEditTask, FALSE);
  return menu;
}

void TMainPanel::ShowContextMenu(LPARAM position) {
  POINT point = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  if (position == -1) {
    // The keyboard's menu key: under the selected row, or at the list's corner.
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    int selected = taskList_.Selected();
    if (selected < 0 || !SendMessageA(taskList_.Handle(), LVM_GETITEMRECT, selected, reinterpret_cast<LPARAM>(&row))) {
      row = {0, 0, 0, 0};
    }
    point = {row.left + 16, row.bottom};
    ClientToScreen(taskList_.Handle(), &point);
  }
  HMENU menu = BuildContextMenu();
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, Handle(), nullptr);
  DestroyMenu(menu);
}

void TMainPanel::ShowBox(const std::string& text, UINT flags) const {
  MessageBoxA(mainWindow_, text.c_str(), MainCaption().c_str(), flags);
}

std::string TMainPanel::MainCaption() const {
  char caption[256] = {};
  GetWindowTextA(mainWindow_, caption, sizeof caption);
  return caption;
}

bool TMainPanel::KeyPreview(WPARAM key) {
  if (key != VK_RETURN) return false;
  OnEditRequest(TEditRequest::EnterKey);
  return true;
}

LRESULT TMainPanel::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Clicks of the buttons and choices of the menu (whose code is 0).
      if (HIWORD(wParam) != BN_CLICKED) return 0;
      switch (LOWORD(wParam)) {
        case IdNewTask: OnEditRequest(TEditRequest::NewTask); break;
        case IdEdit:
        case IdEditTask: OnEditRequest(TEditRequest::EditTask); break;
        case IdDelete:
        case IdDeleteTask: OnDeleteTask(); break;
        case IdOptions: OnOptions(); break;
        case IdAbout: OnAbout(); break;
        case IdRunNow: RunNow(); break;
        case IdOpenArchiveFolder: OpenArchiveFolder(); break;
      }
      return 0;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->hwndFrom != taskList_.Handle()) break;
      if (header->code == LVN_ITEMCHANGED) {
        auto* change = reinterpret_cast<NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
            !(change->uOldState & LVIS_SELECTED)) {
          ShowLogOf(change->iItem);
        }
      } else if (header->code == NM_DBLCLK) {
        OnEditRequest(TEditRequest::DoubleClick);
      }
      return 0;
    }
    case WM_TIMER:
      if (wParam == ElsewhereTimerId) {
        RefreshTaskList("");
        return 0;
      }
      break;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == taskList_.Handle()) {
        ShowContextMenu(lParam);
        return 0;
      }
      break;
  }
  return TPanel::WndProc(message, wParam, lParam);
}

}  // namespace ns
