#include "EditorFixture.h"

#include <optional>
#include <utility>

#include "tasks/TaskStore.h"
#include "win/Registry.h"

namespace ns::test {

TOwnerWindow::TOwnerWindow() {
  CreateForm({.ClassName = "TEditorTestOwner",
              .Caption = "Nightshelf",
              .Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE,
              .Left = 50,
              .Top = 50,
              .Width = 640,
              .Height = 400});
}

// What the dialog posted to its owner is dispatched before the window goes.
TOwnerWindow::~TOwnerWindow() { PumpMessages(); }

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::string Text(HWND window) {
  char text[1024] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

void Type(HWND field, const std::string& text) { SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }

void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

void TypeChars(HWND field, const std::string& characters) {
  for (char character : characters) SendMessageA(field, WM_CHAR, static_cast<unsigned char>(character), 1);
}

std::string StoredValue(const std::string& task, const std::string& value) {
  char data[4096];
  DWORD size = sizeof data;
  if (RegGetValueA(HKEY_CURRENT_USER, TaskKeyPath(task).c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, data,
                   &size) != ERROR_SUCCESS) {
    return "<absent>";
  }
  return std::string(data);
}

void StoreTask(const std::string& task, const std::string& launchParameters) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, TaskKeyPath(task).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  auto put = [&](const char* name, const std::string& text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
  };
  put("", launchParameters);
  put("StateDateTime", "01.12.2026 03:00:05");
  put("State", "Успех");
  put("Log", "Выгрузка информационной базы успешно завершена");
  RegCloseKey(key);
}

void EditorTest::SetUp() { RegDeleteTreeA(HKEY_CURRENT_USER, TaskStoreKeyPath); }

void EditorTest::TearDown() { RegDeleteTreeA(HKEY_CURRENT_USER, TaskStoreKeyPath); }

std::unique_ptr<TTaskEditor> EditorTest::OpenNew() { return std::make_unique<TTaskEditor>(owner_.Handle(), std::nullopt); }

std::unique_ptr<TTaskEditor> EditorTest::OpenListed(const std::string& name, const std::string& launchParameters) {
  EXPECT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, TaskKeyPath(name), "", launchParameters));
  std::optional<TStoredTask> task = LoadTask(name);
  EXPECT_TRUE(task) << name;
  return std::make_unique<TTaskEditor>(owner_.Handle(), std::move(task));
}

}  // namespace ns::test
