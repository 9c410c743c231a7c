#pragma once
// The list of tasks: a standard list view in report view with grid lines and
// whole-row selection, one row per task with the columns "Задания",
// "Строка параметров запуска", "Дата и время завершения" and "Статус". The
// row's caption is the task name and its first sub-item the launch parameter
// string as stored, for the administrator to read; whoever needs a task's
// values loads the task from the store.
#include <windows.h>

#include <string>

namespace ns {

struct TTaskRow {
  std::string Name;
  std::string LaunchParameters;
  std::string DateTime;
  std::string Status;
};

class TTaskListView {
 public:
  enum TColumn { ColumnName = 0, ColumnParameters = 1, ColumnDateTime = 2, ColumnStatus = 3 };

  TTaskListView(HWND parent, int id);
  HWND Handle() const { return handle_; }

  int Count() const;
  // The selected row, or -1.
  int Selected() const;
  std::string Text(int row, TColumn column) const;

  void Clear();
  void Add(const TTaskRow& row);
  // Selects the row and gives it the focus mark; -1 clears the selection.
  void Select(int row);
  // The first row whose caption is `name`, ignoring letter case; -1 when none.
  int Find(const std::string& name) const;

  // Gives the launch parameter column the width the other three leave.
  void FitColumns();

 private:
  HWND handle_;
};

}  // namespace ns
