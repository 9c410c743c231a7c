#pragma once
// The real main window of the program on the test's thread, over a task
// store the test fills, with what the administrator sees read back from its
// controls.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "WindowTests.h"
#include "app/Application.h"
#include "app/Main.h"

namespace ns::test {

struct TShownRow {
  std::string Name;
  std::string Parameters;
  std::string DateTime;
  std::string Status;
  bool operator==(const TShownRow&) const = default;
};

void PrintTo(const TShownRow& row, std::ostream* out);

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest();

  // A task key with its launch parameter string and other values.
  static void AddTask(const std::string& name, const std::string& parameters,
                      const std::map<std::string, std::string>& values = {});
  static bool TaskExists(const std::string& name);
  static void RemoveStore();
  static void CreateEmptyStore();

  // Shows the window and waits for its first list.
  void Show();
  // What WM_REFRESH_TASKS does, at once; `select` as the task editor passes it.
  void Refresh(const std::string& select = "");
  void SelectRow(int row);

  std::vector<TShownRow> Rows();
  int SelectedRow();
  std::string Total();
  std::string Log();

  TApplication application{GetModuleHandleA(nullptr)};
  TFormMain form{application};
  TMainPanel& panel = form.Panel();
};

}  // namespace ns::test
