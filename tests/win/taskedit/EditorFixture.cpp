#include "EditorFixture.h"

#include <commctrl.h>

#include "tasks/RefreshMessage.h"
#include "tasks/TaskStore.h"
#include "win/WindowObject.h"

namespace ns::test {

namespace {
constexpr char OwnerClassName[] = "TEditorTestOwner";
}

TOwnerWindow::TOwnerWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = OwnerClassName;
  RegisterClassA(&windowClass);
  handle_ = CreateWindowExA(0, OwnerClassName, "Nightshelf", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 640, 400,
                            nullptr, nullptr, GetModuleHandleA(nullptr), this);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  listView_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, 0, 0, 600, 300,
                              handle_, nullptr, GetModuleHandleA(nullptr), nullptr);
  for (int column = 0; column < 2; ++column) {
    LVCOLUMNA header = {};
    header.mask = LVCF_WIDTH;
    header.cx = 200;
    SendMessageA(listView_, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&header));
  }
}

TOwnerWindow::~TOwnerWindow() {
  Refreshes();
  DestroyWindow(handle_);
}

void TOwnerWindow::ListTask(const std::string& name, const std::string& launchParameters) {
  SendMessageA(listView_, LVM_DELETEALLITEMS, 0, 0);
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.pszText = const_cast<char*>(name.c_str());
  int index = static_cast<int>(SendMessageA(listView_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  ListView_SetItemText(listView_, index, 1, const_cast<char*>(launchParameters.c_str()));
  ListView_SetItemState(listView_, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

std::vector<std::string> TOwnerWindow::Refreshes() {
  PumpMessages();
  return refreshes_;
}

LRESULT CALLBACK TOwnerWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = WindowObject<TOwnerWindow>(window, message, lParam);
  if (self && message == WM_REFRESH_TASKS) {
    std::string name;
    self->refreshes_.push_back(TakeRefreshSelection(window, lParam, name) ? name : "<none>");
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

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

std::unique_ptr<TFormTaskEdit> EditorTest::OpenNew() {
  return std::make_unique<TFormTaskEdit>(owner_.Handle(), true, owner_.ListView());
}

std::unique_ptr<TFormTaskEdit> EditorTest::OpenListed(const std::string& name, const std::string& launchParameters) {
  owner_.ListTask(name, launchParameters);
  return std::make_unique<TFormTaskEdit>(owner_.Handle(), false, owner_.ListView());
}

}  // namespace ns::test
