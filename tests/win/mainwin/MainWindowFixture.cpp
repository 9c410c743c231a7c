#include "MainWindowFixture.h"

#include <commctrl.h>

#include <cstring>
#include <ostream>

#include "app/WindowMessages.h"
#include "tasks/TaskStore.h"
#include "win/RegistryKey.h"

namespace ns::test {

void PrintTo(const TShownRow& row, std::ostream* out) {
  *out << "{" << row.Name << " | " << row.Parameters << " | " << row.DateTime << " | " << row.Status << "}";
}

MainWindowTest::MainWindowTest() { RemoveStore(); }

void MainWindowTest::AddTask(const std::string& name, const std::string& parameters,
                             const std::map<std::string, std::string>& values) {
  TRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, TaskKeyPath(name), KEY_WRITE));
  ASSERT_TRUE(key.WriteText("", parameters));
  for (const auto& [valueName, text] : values) ASSERT_TRUE(key.WriteText(valueName, text));
}

bool MainWindowTest::TaskExists(const std::string& name) {
  return RegistryKeyExists(HKEY_CURRENT_USER, TaskKeyPath(name));
}

void MainWindowTest::RemoveStore() { DeleteRegistryTree(HKEY_CURRENT_USER, TaskStoreKeyPath); }

void MainWindowTest::CreateEmptyStore() {
  TRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, TaskStoreKeyPath, KEY_WRITE));
}

void MainWindowTest::Show() {
  ShowWindow(form.Handle(), SW_SHOW);
  ASSERT_TRUE(PumpUntil([&] { return !Total().empty(); }));
}

void MainWindowTest::Refresh(const std::string& select) {
  LPARAM tag = select.empty() ? 0 : KeepRefreshSelection(form.Handle(), select);
  SendMessageA(form.Handle(), WM_REFRESH_TASKS, 0, tag);
}

void MainWindowTest::SelectRow(int row) {
  panel.taskList_.Select(row);
  PumpMessages(20);
}

std::vector<TShownRow> MainWindowTest::Rows() {
  std::vector<TShownRow> rows;
  TTaskListView& list = panel.taskList_;
  for (int row = 0; row < list.Count(); ++row) {
    rows.push_back({list.Text(row, TTaskListView::ColumnName), list.Text(row, TTaskListView::ColumnParameters),
                    list.Text(row, TTaskListView::ColumnDateTime), list.Text(row, TTaskListView::ColumnStatus)});
  }
  return rows;
}

int MainWindowTest::SelectedRow() { return panel.taskList_.Selected(); }

std::string MainWindowTest::Total() {
  char text[256] = {};
  SendMessageA(panel.statusBar_, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string MainWindowTest::Log() { return TextOf(panel.logView_); }

}  // namespace ns::test
