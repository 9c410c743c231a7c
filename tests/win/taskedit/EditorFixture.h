#pragma once
// What the task editor tests share: a main window stand-in that owns the
// dialog, the task store emptied before every test, and shortcuts to fill the
// editor's fields as a user would.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "StandinFixture.h"
#include "ui/TaskEditor.h"
#include "win/Form.h"

namespace ns::test {

class TOwnerWindow : public TForm {
 public:
  TOwnerWindow();
  ~TOwnerWindow() override;
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
  std::unique_ptr<TTaskEditor> OpenNew();
  // Stores the launch parameter string as the task's default value (its
  // other values stay) and opens the editor on the task as the store gives it.
  std::unique_ptr<TTaskEditor> OpenListed(const std::string& name, const std::string& launchParameters);

  TOwnerWindow owner_;
};

}  // namespace ns::test
