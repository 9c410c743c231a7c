#pragma once
// What the task editor tests share: a main window stand-in that owns the
// task list and records the refreshes the editor posts to it, the task
// store emptied before every test, and shortcuts to fill the editor's
// fields as a user would.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "StandinFixture.h"
#include "tasks/Taskedit.h"

namespace ns::test {

class TOwnerWindow {
 public:
  TOwnerWindow();
  ~TOwnerWindow();
  TOwnerWindow(const TOwnerWindow&) = delete;
  TOwnerWindow& operator=(const TOwnerWindow&) = delete;

  HWND Handle() const { return handle_; }
  HWND ListView() const { return listView_; }
  // Lists one task, selected, as the main window lists it.
  void ListTask(const std::string& name, const std::string& launchParameters);
  // The task names posted with WM_REFRESH_TASKS so far (after the messages
  // waiting were handled), taken by their tags as the main window takes them.
  std::vector<std::string> Refreshes();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND handle_ = nullptr;
  HWND listView_ = nullptr;
  std::vector<std::string> refreshes_;
};

void PumpMessages();
std::string Text(HWND window);
// Replaces a field's text (the field sees it as typed: EN_CHANGE follows).
void Type(HWND field, const std::string& text);
void Click(HWND button);
// Characters as the keyboard delivers them to a field.
void TypeChars(HWND field, const std::string& characters);

// A task key's value as stored; "<absent>" when there is none.
std::string StoredValue(const std::string& task, const std::string& value);
// Creates a task key with its default value and the last run's outcome.
void StoreTask(const std::string& task, const std::string& launchParameters);

class EditorTest : public StandinTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<TFormTaskEdit> OpenNew();
  std::unique_ptr<TFormTaskEdit> OpenListed(const std::string& name, const std::string& launchParameters);

  TOwnerWindow owner_;
};

}  // namespace ns::test
