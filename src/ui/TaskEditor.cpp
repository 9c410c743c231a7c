#include "ui/TaskEditor.h"

#include <commctrl.h>
#include <shellapi.h>

#include <utility>

#include "base/TextFunctions.h"
#include "controls/ButtonEdit.h"
#include "controls/FlatCheckBox.h"
#include "controls/SpeedButton.h"
#include "platform/ConnectionString.h"
#include "platform/Connector.h"
#include "platform/PlatformInfo.h"
#include "tasks/LaunchParameters.h"
#include "tasks/TaskName.h"
#include "ui/FolderChooser.h"
#include "win/Win32Error.h"

namespace ns {

namespace {

constexpr char ClassName[] = "TFormTaskEdit";
constexpr char FormCaption[] = "Задание";
constexpr int ClientWidth = 496;
constexpr int ClientHeight = 232;
constexpr int DaysLimit = 3;
// The folder open button needs at least a drive and its backslash.
constexpr size_t ShortestFolder = 3;

enum ControlId {
  IdTaskName = 100,
  IdPlatform82,
  IdPlatform83,
  IdBase,
  IdUser,
  IdPassword,
  IdExclusively,
  IdTestConnection,
  IdDumpIB,
  IdAddName,
  IdDays,
  IdOk,
  // Escape sends IDCANCEL, so "Нет" carries it.
  IdNo = IDCANCEL,
};

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(length + 1, '\0');
  text.resize(GetWindowTextA(window, text.data(), length + 1));
  return text;
}

void SetText(HWND window, const std::string& text) { SetWindowTextA(window, text.c_str()); }

HWND CreateControl(HWND parent, const char* className, const std::string& text, DWORD style, const RECT& bounds,
                   int id = 0, DWORD exStyle = 0) {
  HWND control = CreateWindowExA(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, bounds.left,
                                 bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (!control) ThrowLastError("CreateWindowExA");
  return control;
}

RECT Bounds(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

void InitControlsOnce() {
  static const bool initialised = [] {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&controls) != FALSE;
  }();
  (void)initialised;
}

}  // namespace

TTaskEditor::TTaskEditor(HWND owner, std::optional<TStoredTask> task, TTaskEditGlyphs glyphs)
    : IsNew(!task), owner_(owner), task_(std::move(task)), glyphs_(glyphs) {
  InitControlsOnce();
  // Fixed size: a single border and the close box only.
  CreateForm(ClassName, FormCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU,
             WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, ClientWidth, ClientHeight, owner);
  CreateControls();
  if (glyphs_.Ok) SendMessageA(bbtOk, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyphs_.Ok));
  ShowTask();
}

TTaskEditor::~TTaskEditor() {
  if (hint_) DestroyWindow(hint_);
}

void TTaskEditor::CreateControls() {
  HWND self = Handle();
  // Top row: the name on the left, the platform versions at the right edge.
  LabelTaskName = CreateControl(self, "STATIC", "Наименование:", SS_LEFT, Bounds(8, 11, 108, 16));
  TaskName = CreateControl(self, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, Bounds(120, 8, 260, 21), IdTaskName,
                           WS_EX_CLIENTEDGE);
  ChPlatform82 = CreateFlatCheckBox(self, IdPlatform82, "8.2", Bounds(392, 10, 44, 17), TCheckKind::FirstRadio);
  ChPlatform83 = CreateFlatCheckBox(self, IdPlatform83, "8.3", Bounds(444, 10, 44, 17), TCheckKind::NextRadio);
  SetChecked(ChPlatform82, true);

  // The connection: address; user with "Монопольно"; password with "Тест".
  GroupBoxConnection = CreateControl(self, "BUTTON", "Соединение", BS_GROUPBOX | WS_GROUP, Bounds(8, 36, 480, 102));
  LabelBase = CreateControl(self, "STATIC", "Адрес информационной базы:", SS_LEFT, Bounds(16, 57, 180, 16));
  Base = CreateButtonEdit(self, IdBase, Bounds(200, 54, 280, 21), {EllipsisButton});
  LabelUser = CreateControl(self, "STATIC", "Пользователь:", SS_LEFT, Bounds(16, 84, 180, 16));
  User = CreateControl(self, "EDIT", "", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, Bounds(200, 81, 170, 21), IdUser,
                       WS_EX_CLIENTEDGE);
  ChExclusively = CreateFlatCheckBox(self, IdExclusively, "Монопольно", Bounds(380, 83, 100, 17));
  LabelPassword = CreateControl(self, "STATIC", "Пароль:", SS_LEFT, Bounds(16, 111, 180, 16));
  Password = CreateControl(self, "EDIT", "", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL | ES_PASSWORD,
                           Bounds(200, 108, 170, 21), IdPassword, WS_EX_CLIENTEDGE);
  SendMessageA(Password, EM_SETPASSWORDCHAR, '*', 0);
  sbTestConnection = CreateSpeedButton(self, IdTestConnection, "Тест", Bounds(400, 107, 80, 23));

  // The archive folder, the name in the archive's name and the retention days.
  LabelDumpIB = CreateControl(self, "STATIC", "Каталог архива:", SS_LEFT, Bounds(8, 151, 108, 16));
  DumpIB = CreateButtonEdit(self, IdDumpIB, Bounds(120, 148, 368, 21),
                            {EllipsisButton, TEditButton{"Открыть каталог", glyphs_.OpenFolder}});
  ChAddName = CreateFlatCheckBox(self, IdAddName, "Добавлять наименование к названию архива", Bounds(8, 180, 320, 17));
  GroupBoxDays = CreateControl(self, "BUTTON", "Дни", BS_GROUPBOX | WS_GROUP, Bounds(408, 172, 80, 52));
  Days = CreateControl(self, "EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, Bounds(420, 193, 56, 21), IdDays, WS_EX_CLIENTEDGE);
  SendMessageA(Days, EM_SETLIMITTEXT, DaysLimit, 0);
  SetWindowSubclass(Days, DaysProc, 1, reinterpret_cast<DWORD_PTR>(this));

  // The buttons at the bottom left; neither is the default button.
  bbtOk = CreateControl(self, "BUTTON", "Да", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, Bounds(8, 202, 84, 25), IdOk);
  bbtNo = CreateControl(self, "BUTTON", "Нет", WS_TABSTOP | BS_PUSHBUTTON, Bounds(100, 202, 84, 25), IdNo);

  ApplyFormFont(self);

  hint_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, self, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (hint_) {
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = self;
    tool.uId = reinterpret_cast<UINT_PTR>(Days);
    tool.lpszText = const_cast<char*>("Автоматическое удаление архивных данных");
    SendMessageA(hint_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void TTaskEditor::ShowTask() {
  if (IsNew) {
    if (InstalledPlatforms.Found83) {
      SetChecked(ChPlatform83, true);
      SetChecked(ChPlatform82, false);
    }
    return;
  }
  const TTaskRecord& record = task_->Record;
  SetText(TaskName, record.Name);
  SetChecked(ChPlatform83, record.Version == PlatformVersion83);
  SetChecked(ChPlatform82, record.Version != PlatformVersion83);
  if (record.Exclusively) SetChecked(ChExclusively, true);
  if (record.AddName) SetChecked(ChAddName, true);
  SetText(Base, record.Base);
  SetText(User, record.User);
  SetText(DumpIB, record.DumpIB);
  if (record.Days != 0) SetText(Days, std::to_string(record.Days));
  // A password that cannot be decoded is shown as it is stored.
  SetText(Password, record.Password);
  if (!task_->PasswordError.empty()) {
    // The dialog is not on the screen yet: the box belongs to the main
    // window and carries its title.
    MessageBoxA(owner_, task_->PasswordError.c_str(), WindowText(owner_).c_str(), MB_OK | MB_ICONSTOP);
  }
  Changed = false;
}

void TTaskEditor::Close(int result) {
  if (testing_) return;
  modalResult_ = result;
  if (IsModal()) EndModal(result);
}

LRESULT TTaskEditor::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      Close(IDCANCEL);
      return 0;
    case WM_SETCURSOR:
      if (testing_) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
  }
  return TForm::WndProc(message, wParam, lParam);
}

void TTaskEditor::OnCommand(int id, WORD code) {
  switch (id) {
    case IdTaskName:
    case IdBase:
    case IdUser:
    case IdPassword:
    case IdDumpIB:
    case IdDays:
      if (code == EN_CHANGE) TaskNameChange();
      if (id == IdBase && code == ButtonEditClick(0)) BaseEditButtons0Click();
      if (id == IdDumpIB && code == ButtonEditClick(0)) DumpIBEditButtons0Click();
      if (id == IdDumpIB && code == ButtonEditClick(1)) DumpIBEditButtons1Click();
      break;
    case IdPlatform82:
    case IdPlatform83:
    case IdExclusively:
    case IdAddName:
      if (code == BN_CLICKED) TaskNameChange();
      break;
    case IdTestConnection:
      if (code == BN_CLICKED) sbTestConnectionClick();
      break;
    case IdOk:
      if (code == BN_CLICKED) bbtOkClick();
      break;
    case IdNo:
      Close(IDCANCEL);
      break;
  }
}

void TTaskEditor::TaskNameChange() { Changed = true; }

LRESULT CALLBACK TTaskEditor::DaysProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR form) {
  if (message == WM_CHAR) {
    char key = static_cast<char>(wParam);
    reinterpret_cast<TTaskEditor*>(form)->DaysKeyPress(key);
    if (key == 0) return 0;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(edit, DaysProc, 1);
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

void TTaskEditor::DaysKeyPress(char& key) {
  bool digit = key >= '0' && key <= '9';
  if (!digit && key != '\b' && key != '\r') key = 0;
}

bool TTaskEditor::FormKeyDown(WPARAM key) {
  if (key != VK_RETURN) return false;
  // Enter moves on like Tab, so that it never presses a button.
  // In the version group the tab stop sits on the checked button (automatic
  // radio buttons move it there), so passing the group changes no version.
  HWND next = GetNextDlgTabItem(Handle(), GetFocus(), FALSE);
  if (next) SetFocus(next);
  return true;
}

void TTaskEditor::BaseEditButtons0Click() {
  std::string folder = BrowseForFolder(Handle());
  if (!folder.empty()) SetText(Base, folder);
}

void TTaskEditor::DumpIBEditButtons0Click() {
  std::string folder = BrowseForFolder(Handle());
  if (!folder.empty()) SetText(DumpIB, folder);
}

void TTaskEditor::DumpIBEditButtons1Click() {
  std::string folder = WindowText(DumpIB);
  if (folder.size() < ShortestFolder) return;
  ShellExecuteA(Handle(), "Open", folder.c_str(), nullptr, nullptr, SW_SHOW);
}

void TTaskEditor::sbTestConnectionClick() {
  if (testing_) return;
  PlatformVersion version = IsChecked(ChPlatform83) ? PlatformVersion83 : PlatformVersion82;
  // The address as it would be stored: "D:/Bases" tried as "D:\Bases".
  std::string base = WithBackslashes(ControlsRecord()).Base;
  std::string connection = BuildTestConnectionString(base, WindowText(User), WindowText(Password));
  // Opening an infobase can take a while: the wait cursor shows it, and the
  // dialog takes no other command until the outcome is shown.
  testing_ = true;
  EnableWindow(sbTestConnection, FALSE);
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  struct TRestore {
    TTaskEditor& form;
    HCURSOR cursor;
    ~TRestore() {
      form.testing_ = false;
      EnableWindow(form.sbTestConnection, TRUE);
      SetCursor(cursor);
    }
  } restore{*this, previous};
  TConnectionOutcome outcome = TestConnection(connection, version);
  if (outcome.Opened) {
    MessageBoxA(Handle(), "Соединение успешно установлено!", Caption().c_str(), MB_OK | MB_ICONINFORMATION);
  } else if (!outcome.Error.empty()) {
    MessageBoxA(Handle(), ("Ошибка: " + outcome.Error).c_str(), Caption().c_str(), MB_OK | MB_ICONERROR);
  }
}

void TTaskEditor::bbtOkClick() {
  if (testing_) return;
  if (Save()) Close(IDOK);
}

void TTaskEditor::Refuse(const std::string& text, HWND focus) {
  MessageBoxA(Handle(), text.c_str(), Caption().c_str(), MB_OK | MB_ICONSTOP);
  if (focus) SetFocus(focus);
}

TTaskRecord TTaskEditor::ControlsRecord() const {
  TTaskRecord record;
  record.Version = IsChecked(ChPlatform83) ? PlatformVersion83 : PlatformVersion82;
  record.Exclusively = IsChecked(ChExclusively);
  record.AddName = IsChecked(ChAddName);
  record.Days = RetentionDays(WindowText(Days));
  record.Base = WindowText(Base);
  record.User = WindowText(User);
  record.Password = WindowText(Password);
  record.DumpIB = WindowText(DumpIB);
  return record;
}

bool TTaskEditor::Save() {
  std::string name = Trim(WindowText(TaskName));
  if (name.empty()) {
    Refuse("Не указано задание!", TaskName);
    return false;
  }
  std::string old;
  bool renamed = false;
  if (!IsNew) {
    if (!Changed) return true;
    old = task_->Record.Name;
    renamed = name != old;
    // Saving would blank the outcome the run is about to write, and a
    // rename would leave the run's task without its key.
    if (IsTaskBusy && IsTaskBusy(old)) {
      Refuse("Задание «" + old + "» поставлено в очередь или выполняется: сохранить его можно будет после выполнения.",
             TaskName);
      return false;
    }
  }
  // The name is also the name of the task's dump, log and archive.
  if (std::string fault = TaskNameFault(name); !fault.empty()) {
    Refuse(fault, TaskName);
    return false;
  }
  // Letter case does not count here: the registry would open the other task.
  if ((IsNew || renamed) && TaskExists(name)) {
    Refuse("Задание с таким именем уже существует!", TaskName);
    return false;
  }
  TTaskRecord record = WithBackslashes(ControlsRecord());
  record.Name = name;
  if (std::string fault = SlashFault(record); !fault.empty()) {
    Refuse(fault, record.User.find('/') != std::string::npos ? User : Base);
    return false;
  }
  switch (ns::SaveTask(record, old)) {
    case TSaveResult::NotWritten:
      Refuse("Не удалось сохранить задание «" + name + "» в реестре.", TaskName);
      return false;
    case TSaveResult::OldNotDeleted:
      Refuse("Задание сохранено под именем «" + name + "», но прежнее задание «" + old +
             "» удалить не удалось: теперь в списке есть оба.");
      break;
    case TSaveResult::Saved:
      break;
  }
  saved_ = std::move(record);
  return true;
}

}  // namespace ns
