// The main window created for real and driven through its window handles:
// the list and what it shows, deletion, the busy rules, the context menu's
// run-now, the about box and the layout.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "MainWindowFixture.h"
#include "backup/TaskLock.h"
#include "backup/TaskStatus.h"
#include "app/WindowMessages.h"
#include "tasks/TaskStore.h"

namespace ns::test {
namespace {

const std::string Success = "Успех";
const std::string Failure = "Ошибка";

class MainWindow : public MainWindowTest {};

TEST_F(MainWindow, ListsEveryTaskInRegistryOrderAndShowsTheLogOfTheSelectedOne) {
  AddTask("Бухгалтерия", "8.3&/Days7/FC:\\Bases\\Бух/NАдмин/DumpIBD:\\Архив",
          {{"StateDateTime", "01.12.2026 03:00:05"}, {"State", Success}, {"Log", "Выгрузка завершена\r\n"}});
  AddTask("Зарплата", "8.2*/Ssrv\\zp/DumpIBD:\\Архив",
          {{"StateDateTime", "02.12.2026 03:10:00"}, {"State", Failure}, {"Log", "Ошибка соединения с базой."}});
  AddTask("Склад", "8.3/FC:\\Bases\\Склад/DumpIBD:\\Архив");
  Show();

  EXPECT_EQ(Rows(), (std::vector<TShownRow>{
                        {"Бухгалтерия", "8.3&/Days7/FC:\\Bases\\Бух/NАдмин/DumpIBD:\\Архив", "01.12.2026 03:00:05", Success},
                        {"Зарплата", "8.2*/Ssrv\\zp/DumpIBD:\\Архив", "02.12.2026 03:10:00", Failure},
                        {"Склад", "8.3/FC:\\Bases\\Склад/DumpIBD:\\Архив", "", ""}}));
  EXPECT_EQ(Total(), "Всего: 3");
  EXPECT_EQ(SelectedRow(), 0);
  EXPECT_EQ(Log(), "Выгрузка завершена\r\n");
  SelectRow(1);
  EXPECT_EQ(Log(), "Ошибка соединения с базой.");
  SelectRow(2);
  EXPECT_EQ(Log(), "");
}

TEST_F(MainWindow, QueueStatusesStandInForTheRecordedOutcomeWhileTheWorkerRuns) {
  std::map<std::string, std::string> ran = {{"StateDateTime", "01.12.2026 03:00:05"}, {"State", Success},
                                            {"Log", "старый протокол"}};
  for (const char* name : {"A", "B", "C", "D"}) AddTask(name, "8.3/FC:\\A/DumpIBC:\\Archive", ran);
  form.RunQueue()->SetStatus("A", StatusQueued);
  form.RunQueue()->SetStatus("B", StatusRunning);
  form.RunQueue()->SetStatus("C", StatusFailed);
  Show();

  std::vector<std::pair<std::string, std::string>> cells;
  for (const TShownRow& row : Rows()) cells.emplace_back(row.DateTime, row.Status);
  EXPECT_EQ(cells, (std::vector<std::pair<std::string, std::string>>{{"", "В очереди"},
                                                                     {"", "Выполняется"},
                                                                     {"01.12.2026 03:00:05", "Ошибка"},
                                                                     {"01.12.2026 03:00:05", Success}}));
  // A busy task's log belongs to a run that is about to be replaced.
  EXPECT_EQ(Log(), "");
  SelectRow(2);
  EXPECT_EQ(Log(), "старый протокол");
  SelectRow(1);
  EXPECT_EQ(Log(), "");
}

TEST_F(MainWindow, AMissingStoreKeepsTheRowsAnEmptyOneClearsThem) {
  AddTask("A", "8.3/FC:\\A/DumpIBC:\\Archive");
  AddTask("B", "8.3/FC:\\B/DumpIBC:\\Archive");
  Show();
  RemoveStore();
  Refresh();
  EXPECT_EQ(Rows().size(), 2u);
  EXPECT_EQ(Total(), "Всего: 2");

  CreateEmptyStore();
  Refresh();
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ(Total(), "Всего: 0");
  EXPECT_EQ(SelectedRow(), -1);
}

TEST_F(MainWindow, RefreshSelectsTheNamedTaskIgnoringCaseOrKeepsThePosition) {
  for (const char* name : {"Альфа", "Бета", "Гамма"}) AddTask(name, "8.3/FC:\\A/DumpIBC:\\Archive");
  Show();
  Refresh("гамма");
  EXPECT_EQ(SelectedRow(), 2);
  SelectRow(1);
  Refresh();
  EXPECT_EQ(SelectedRow(), 1);
  Refresh("Нет такого");
  EXPECT_EQ(SelectedRow(), 1);
}

TEST_F(MainWindow, DeletingAsksFirstAndSelectsTheRowThatTakesThePlace) {
  struct TCase {
    int Row;
    int Answer;
    std::vector<std::string> Left;
    int Selected;
  };
  const TCase cases[] = {
      {1, IDYES, {"A", "C"}, 1},       // the middle row: the next one moves into its place
      {2, IDYES, {"A", "B"}, 1},       // the last row: the new last one
      {1, IDNO, {"A", "B", "C"}, 1},   // refused: nothing changes
  };
  Show();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Row);
    for (const char* name : {"A", "B", "C"}) AddTask(name, "8.3/FC:\\A/DumpIBC:\\Archive");
    Refresh();
    SelectRow(c.Row);
    std::string name = panel.taskList_.Text(c.Row, TTaskListView::ColumnName);
    {
      TBoxWatcher boxes(c.Answer);
      Click(panel.deleteButton_);
      auto seen = boxes.Seen();
      ASSERT_EQ(seen.size(), 1u);
      EXPECT_EQ(seen[0].Caption, "Nightshelf");
      EXPECT_EQ(seen[0].Text, "Удалить задание " + name + "?");
      EXPECT_EQ(seen[0].Icon, TBoxIcon::Question);
    }
    PumpMessages(100);
    std::vector<std::string> left;
    for (const TShownRow& row : Rows()) left.push_back(row.Name);
    EXPECT_EQ(left, c.Left);
    EXPECT_EQ(TaskExists(name), c.Answer == IDNO);
    EXPECT_EQ(SelectedRow(), c.Selected);
    RemoveStore();
  }
}

TEST_F(MainWindow, ADeletionTheRegistryRefusesIsReported) {
  AddTask("A", "8.3/FC:\\A/DumpIBC:\\Archive");
  AddTask("B", "8.3/FC:\\B/DumpIBC:\\Archive");
  Show();
  SelectRow(1);
  // The task went away behind the window's back: deleting it again fails.
  RemoveStore();
  TBoxWatcher boxes(IDYES);
  Click(panel.deleteButton_);
  auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].Caption, "Nightshelf");
  EXPECT_EQ(seen[1].Text, "Задание B не может быть удалено!");
  EXPECT_EQ(seen[1].Icon, TBoxIcon::Error);
  EXPECT_EQ(Rows().size(), 2u);
}

TEST_F(MainWindow, ABusyRowCannotBeEditedDeletedOrBegunFromButAnIdleOneCan) {
  AddTask("Idle", "8.3/FC:\\A/DumpIBC:\\Archive");
  AddTask("Queued", "8.3/FC:\\A/DumpIBC:\\Archive");
  AddTask("Running", "8.3/FC:\\A/DumpIBC:\\Archive");
  form.RunQueue()->SetStatus("Queued", StatusQueued);
  form.RunQueue()->SetStatus("Running", StatusRunning);
  std::vector<bool> opened;
  panel.openTaskEditor_ = [&](bool isNew) { opened.push_back(isNew); };
  Show();

  auto everyWay = [&] {
    Click(panel.newTaskButton_);
    Click(panel.editButton_);
    PostKey(panel.taskList_.Handle(), VK_RETURN);
    PumpMessages(50);
    RECT row = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(panel.taskList_.Handle(), LVM_GETITEMRECT, SelectedRow(), reinterpret_cast<LPARAM>(&row));
    LPARAM point = MAKELPARAM(row.left + 20, (row.top + row.bottom) / 2);
    // Posted, as the mouse would: the list view waits for the button's
    // release to tell a click from a drag.
    PostMessageA(panel.taskList_.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(panel.taskList_.Handle(), WM_LBUTTONUP, 0, point);
    PostMessageA(panel.taskList_.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageA(panel.taskList_.Handle(), WM_LBUTTONUP, 0, point);
    PumpMessages(50);
  };
  for (int busy : {1, 2}) {
    SelectRow(busy);
    TBoxWatcher boxes(IDNO);
    everyWay();
    Click(panel.deleteButton_);
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_EQ(SelectedRow(), busy);
  }
  EXPECT_TRUE(TaskExists("Queued") && TaskExists("Running"));

  SelectRow(0);
  TBoxWatcher boxes(IDNO);
  everyWay();
  Click(panel.deleteButton_);
  EXPECT_EQ(opened, (std::vector<bool>{true, false, false, false}));
  EXPECT_EQ(boxes.Seen().size(), 1u);
}

BOOL CALLBACK AddStaticText(HWND child, LPARAM parameter) {
  char className[16] = {};
  GetClassNameA(child, className, sizeof className);
  if (_stricmp(className, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
    *reinterpret_cast<std::string*>(parameter) += TextOf(child);
  }
  return TRUE;
}

// The text of a message box of this process.
std::string BoxText(HWND box) {
  std::string text;
  EnumChildWindows(box, AddStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

void Press(HWND dialog, int button) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// Once `gone` has closed, the next message box of this process; null when
// none comes within five seconds.
HWND NextBox(HWND gone) {
  for (int i = 0; i < 250; ++i, Sleep(20)) {
    if (IsWindow(gone) && IsWindowVisible(gone)) continue;
    if (HWND box = FindOwnWindow("#32770")) {
      Sleep(20);  // the box fills its controls while it is being shown
      return box;
    }
  }
  return nullptr;
}

// The confirmation box keeps the window's messages flowing, so a later
// start's hand-over can queue the task behind it: "Да" then deletes nothing.
TEST_F(MainWindow, ATaskQueuedWhileTheDeleteBoxWasOpenIsNotDeleted) {
  AddTask("A", "8.3/FC:\\A/DumpIBC:\\Archive");
  AddTask("B", "8.3/FC:\\B/DumpIBC:\\Archive");
  Show();
  SelectRow(1);
  std::vector<std::string> texts;
  TWindowAction answer("#32770", [&](HWND box) {
    Sleep(20);
    texts.push_back(BoxText(box));
    form.RunQueue()->QueueTask("B");
    Press(box, IDYES);
    if (HWND refusal = NextBox(box)) {
      texts.push_back(BoxText(refusal));
      Press(refusal, IDOK);
    }
  });
  Click(panel.deleteButton_);
  ASSERT_TRUE(answer.Ran());
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "Удалить задание B?",
                       "Задание B поставлено в очередь или выполняется: удалить его сейчас нельзя."}));
  EXPECT_TRUE(TaskExists("B"));
  form.RunQueue()->Clear();
}

// The editor is modal too: a task queued while it was open is not saved
// (which would blank the outcome the run is about to write), and the editor
// stays open with what was typed.
TEST_F(MainWindow, ATaskQueuedWhileTheEditorWasOpenIsNotSavedAndTheEditorStays) {
  AddTask("A", "8.3/FC:\\A/DumpIBC:\\Archive",
          {{"StateDateTime", "01.12.2026 03:00:05"}, {"State", Success}, {"Log", "протокол"}});
  Show();
  SelectRow(0);
  std::vector<std::string> texts;
  std::string typed;
  TWindowAction edit("TFormTaskEdit", [&](HWND editor) {
    Sleep(50);
    HWND folder = FindChild(editor, "Edit", "C:\\Archive");
    if (!folder) return;
    SendMessageA(folder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("C:\\Другой"));
    form.RunQueue()->QueueTask("A");
    PostMessageA(FindChild(editor, "Button", "Да"), BM_CLICK, 0, 0);
    if (HWND refusal = NextBox(nullptr)) {
      texts.push_back(BoxText(refusal));
      Press(refusal, IDOK);
      for (int i = 0; i < 100 && IsWindow(refusal); ++i) Sleep(20);
    }
    typed = TextOf(folder);
    if (IsWindowVisible(editor)) {
      texts.push_back("editor open");
      PostMessageA(editor, WM_CLOSE, 0, 0);
    }
  });
  Click(panel.editButton_);
  ASSERT_TRUE(edit.Ran());
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "Задание «A» поставлено в очередь или выполняется: сохранить его можно будет после выполнения.",
                       "editor open"}));
  EXPECT_EQ(typed, "C:\\Другой");
  TRegistryKey key = OpenTask("A");
  EXPECT_EQ(key.ReadText(""), "8.3/FC:\\A/DumpIBC:\\Archive");
  EXPECT_EQ(key.ReadText("State"), Success);
  EXPECT_EQ(key.ReadText("Log"), "протокол");
  form.RunQueue()->Clear();
}

TEST_F(MainWindow, EditingWithoutASelectionDoesNothingButANewTaskCanBeBegun) {
  CreateEmptyStore();
  std::vector<bool> opened;
  panel.openTaskEditor_ = [&](bool isNew) { opened.push_back(isNew); };
  Show();
  TBoxWatcher boxes(IDYES);
  Click(panel.editButton_);
  Click(panel.deleteButton_);
  PostKey(panel.taskList_.Handle(), VK_RETURN);
  PumpMessages(50);
  Click(panel.newTaskButton_);
  EXPECT_EQ(opened, std::vector<bool>{true});
  EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(MainWindow, TheContextMenuOffersWhatTheRowAllows) {
  AddTask("Idle", "8.3/FC:\\A/DumpIBC:\\Archive");
  AddTask("NoFolder", "8.3/FC:\\A/DumpIB");
  AddTask("Queued", "8.3/FC:\\A/DumpIBC:\\Archive");
  form.RunQueue()->SetStatus("Queued", StatusQueued);
  Show();
  auto enabled = [&](int row) {
    SelectRow(row);
    HMENU menu = panel.BuildContextMenu();
    std::vector<bool> states;
    for (int id : {TMainPanel::IdRunNow, TMainPanel::IdEditTask, TMainPanel::IdDeleteTask,
                   TMainPanel::IdOpenArchiveFolder}) {
      states.push_back(!(GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED));
    }
    DestroyMenu(menu);
    return states;
  };
  EXPECT_EQ(enabled(0), (std::vector<bool>{true, true, true, true}));
  EXPECT_EQ(enabled(1), (std::vector<bool>{true, true, true, false}));
  EXPECT_EQ(enabled(2), (std::vector<bool>{false, false, false, true}));
}

TEST_F(MainWindow, RunNowQueuesTheTaskAndTheListFollowsTheWorkerToItsOutcome) {
  AddTask("Ready", "8.3/FC:\\A/DumpIBC:\\Archive");
  // No infobase address: the worker fails the task at once, without a platform.
  AddTask("Broken", "8.3/DumpIBC:\\Archive", {{"State", Success}, {"Log", "старый протокол"}});
  Show();
  SelectRow(0);
  SendMessageA(panel.Handle(), WM_COMMAND, MAKEWPARAM(TMainPanel::IdRunNow, 0), 0);

  // The refresh comes before the worker's start: the list shows the task
  // waiting, with no time beside it.
  MSG refresh;
  ASSERT_TRUE(PeekMessageA(&refresh, form.Handle(), WM_REFRESH_TASKS, WM_REFRESH_TASKS, PM_REMOVE));
  DispatchMessageA(&refresh);
  EXPECT_EQ(Rows()[0].Status, "В очереди");
  EXPECT_EQ(Log(), "");

  ASSERT_TRUE(PumpUntil([&] { return Rows()[0].Status == Failure && form.RunQueue()->Count() == 0; }, 30000));
  Refresh();
  EXPECT_EQ(Rows()[0].Status, Failure);  // now from the registry: the queue is empty
  EXPECT_EQ(SelectedRow(), 0);
  EXPECT_EQ(Log(), "Не верно указаны параметры запуска.");
  EXPECT_EQ(Rows()[1].Status, "");  // "Ready" was not asked for
}

// "Выполнить сейчас" on a row that has finished in the worker run still under
// way asks for it again: it waits behind what is queued and the same run
// takes it. A row still waiting offers nothing to run.
TEST_F(MainWindow, RunNowOnATaskFinishedInTheCurrentRunQueuesItAgain) {
  AddTask("Done", "8.3/FC:\\A/DumpIBC:\\Archive");
  AddTask("Waiting", "8.3/FC:\\A/DumpIBC:\\Archive");
  form.RunQueue()->QueueTask("Done");
  form.RunQueue()->QueueTask("Waiting");
  // A worker run is under way (the test plays its worker).
  ASSERT_TRUE(form.RunQueue()->TryBeginRun());
  std::string taken;
  ASSERT_TRUE(form.RunQueue()->TakeNextOrFinishRun(taken));
  form.RunQueue()->SetStatus(taken, StatusDone);
  Show();

  SelectRow(1);
  SendMessageA(panel.Handle(), WM_COMMAND, MAKEWPARAM(TMainPanel::IdRunNow, 0), 0);
  SelectRow(0);
  SendMessageA(panel.Handle(), WM_COMMAND, MAKEWPARAM(TMainPanel::IdRunNow, 0), 0);
  PumpMessages(100);
  ASSERT_EQ(form.RunQueue()->Count(), 2u);
  EXPECT_EQ(form.RunQueue()->NameAt(0), "Waiting");
  EXPECT_EQ(form.RunQueue()->NameAt(1), "Done");
  EXPECT_EQ(Rows()[0].Status, "В очереди");
  EXPECT_EQ(Rows()[1].Status, "В очереди");
  ASSERT_TRUE(form.RunQueue()->TakeNextOrFinishRun(taken));
  EXPECT_EQ(taken, "Waiting");
  ASSERT_TRUE(form.RunQueue()->TakeNextOrFinishRun(taken));
  EXPECT_EQ(taken, "Done");
  form.RunQueue()->EndRun();
}

// A task that another instance (in another logon session) runs holds its
// lock: the list says so, and shows the recorded outcome again once that
// instance is done, without anyone touching the window.
TEST_F(MainWindow, ATaskAnotherInstanceRunsIsShownSoUntilItIsDone) {
  AddTask("A", "8.3/FC:\\A/DumpIBC:\\Archive", {{"StateDateTime", "01.12.2026 03:00:05"}, {"State", Success}});
  AddTask("B", "8.3/FC:\\B/DumpIBC:\\Archive");
  auto other = std::make_unique<TTaskLock>();
  ASSERT_EQ(other->Take("A"), TTaskLock::TResult::Taken);
  Show();
  EXPECT_EQ(Rows(), (std::vector<TShownRow>{
                        {"A", "8.3/FC:\\A/DumpIBC:\\Archive", "01.12.2026 03:00:05", "Выполняется в другом экземпляре"},
                        {"B", "8.3/FC:\\B/DumpIBC:\\Archive", "", ""}}));
  // A worker of this instance stays off the task meanwhile.
  TTaskLock mine;
  EXPECT_EQ(mine.Take("A"), TTaskLock::TResult::HeldElsewhere);
  other.reset();
  EXPECT_TRUE(PumpUntil([&] { return Rows()[0].Status == Success; }, 10000));
  EXPECT_EQ(mine.Take("a"), TTaskLock::TResult::Taken);
}

TEST_F(MainWindow, TheAboutBoxNamesTheProgramAndItsVersion) {
  Show();
  TBoxWatcher boxes(IDOK);
  Click(panel.aboutButton_);
  auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Caption, "О программе");
  EXPECT_EQ(seen[0].Icon, TBoxIcon::Information);
  EXPECT_EQ(seen[0].Text.rfind("Nightshelf, версия " NS_PROJECT_VERSION, 0), 0u) << seen[0].Text;
}

TEST_F(MainWindow, ResizingKeepsInfoAtTheRightEdgeAndTheLogItsHeight) {
  Show();
  auto rectOf = [&](HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  };
  RECT client;
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, 633);
  EXPECT_EQ(client.bottom, 374);
  EXPECT_EQ(rectOf(panel.aboutButton_).left, 588);
  EXPECT_EQ(rectOf(panel.logView_).bottom - rectOf(panel.logView_).top, 80);

  SetWindowPos(form.Handle(), nullptr, 0, 0, 900, 600, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(rectOf(panel.aboutButton_).left, client.right - 45);
  EXPECT_EQ(rectOf(panel.logView_).bottom - rectOf(panel.logView_).top, 80);
  EXPECT_EQ(rectOf(panel.taskList_.Handle()).right, client.right);
  EXPECT_EQ(rectOf(panel.splitter_.Handle()).bottom, rectOf(panel.logView_).top);
  EXPECT_EQ(rectOf(panel.taskList_.Handle()).bottom, rectOf(panel.splitter_.Handle()).top);

  SetWindowPos(form.Handle(), nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(form.Handle(), &client);
  EXPECT_GE(client.right, 400);
  EXPECT_GE(client.bottom, 200);
  EXPECT_GT(rectOf(panel.aboutButton_).left, rectOf(panel.optionsButton_).right);
}

TEST_F(MainWindow, DraggingTheSplitterMovesTheBorderBetweenListAndLogButLeavesBothALine) {
  Show();
  auto height = [](HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    return static_cast<int>(rect.bottom - rect.top);
  };
  auto drag = [&](int dy) {
    HWND bar = panel.splitter_.Handle();
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 1));
    SendMessageA(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 1 + dy / 2));
    SendMessageA(bar, WM_LBUTTONUP, 0, MAKELPARAM(10, 1 + dy));
  };
  drag(-50);
  EXPECT_EQ(height(panel.logView_), 130);
  drag(1000);
  EXPECT_EQ(height(panel.logView_), 1);
  drag(-1000);
  EXPECT_EQ(height(panel.taskList_.Handle()), 1);
}

}  // namespace
}  // namespace ns::test
