#include "ui/TaskEditor.h"

#include <commctrl.h>
#include <shellapi.h>

#include <iterator>
#include <utility>

#include "base/TextFunctions.h"
#include "controls/ButtonEdit.h"
#include "controls/FlatCheckBox.h"
#include "controls/SpeedButton.h"
#include "platform/ConnectionString.h"
#include "platform/Connector.h"
#include "platform/PlatformInfo.h"
#include "tasks/CopyFolder.h"
#include "tasks/LaunchParameters.h"
#include "tasks/TaskName.h"
#include "ui/FolderChooser.h"
#include "win/Control.h"

namespace ns {

namespace {

constexpr char ClassName[] = "TFormTaskEdit";
constexpr char FormCaption[] = "Задание";
constexpr int ClientWidth = 496;
constexpr int ClientHeight = 286;
constexpr int DaysLimit = 3;
// The folder open button needs at least a drive and its backslash.
constexpr size_t ShortestFolder = 3;

enum ControlId {
  IdTaskName = 100,
  IdPlatform82,
  IdPlatform83,
  IdAddress,
  IdUser,
  IdPassword,
  IdExclusively,
  IdTestConnection,
  IdArchiveFolder,
  IdCopyFolder,
  IdRestoreCheck,
  IdAddName,
  IdDays,
  IdSave,
  // Escape sends IDCANCEL, so "Нет" carries it.
  IdCancel = IDCANCEL,
};

// The restore check's choices, in the order of TRestoreCheck.
constexpr const char* RestoreCheckChoices[] = {
    "не выполняется", "после каждого запуска", "по понедельникам", "по вторникам", "по средам",
    "по четвергам",   "по пятницам",           "по субботам",      "по воскресеньям",
};

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(length + 1, '\0');
  text.resize(GetWindowTextA(window, text.data(), length + 1));
  return text;
}

void SetText(HWND window, const std::string& text) { SetWindowTextA(window, text.c_str()); }

void InitControlsOnce() {
  static const bool initialised = [] {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&controls) != FALSE;
  }();
  (void)initialised;
}

}  // namespace

TTaskEditor::TTaskEditor(HWND owner, std::optional<TStoredTask> task, TTaskEditGlyphs glyphs)
    : owner_(owner), task_(std::move(task)), glyphs_(glyphs) {
  InitControlsOnce();
  // Fixed size: a single border and the close box only.
  CreateForm({.ClassName = ClassName,
              .Caption = FormCaption,
              .Style = WS_POPUP | WS_CAPTION | WS_SYSMENU,
              .ExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT,
              .Width = ClientWidth,
              .Height = ClientHeight,
              .Parent = owner});
  CreateControls();
  if (glyphs_.Ok) SendMessageA(saveButton_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyphs_.Ok));
  ShowTask();
}

void TTaskEditor::CreateControls() {
  HWND self = Handle();
  auto label = [self](const char* text, RECT bounds) {
    return CreateControl({.Parent = self, .ClassName = "STATIC", .Text = text, .Style = SS_LEFT, .Bounds = bounds});
  };
  // A text field; `style` adds to a tab stop that scrolls its text.
  auto field = [self](int id, DWORD style, RECT bounds) {
    return CreateControl({.Parent = self,
                          .ClassName = "EDIT",
                          .Style = WS_TABSTOP | ES_AUTOHSCROLL | style,
                          .ExStyle = WS_EX_CLIENTEDGE,
                          .Bounds = bounds,
                          .Id = id});
  };
  auto group = [self](const char* caption, RECT bounds) {
    return CreateControl(
        {.Parent = self, .ClassName = "BUTTON", .Text = caption, .Style = BS_GROUPBOX | WS_GROUP, .Bounds = bounds});
  };
  auto button = [self](int id, const char* caption, DWORD style, RECT bounds) {
    return CreateControl({.Parent = self,
                          .ClassName = "BUTTON",
                          .Text = caption,
                          .Style = WS_TABSTOP | BS_PUSHBUTTON | style,
                          .Bounds = bounds,
                          .Id = id});
  };

  // Top row: the name on the left, the platform versions at the right edge.
  nameLabel_ = label("Наименование:", Bounds(8, 11, 108, 16));
  nameField_ = field(IdTaskName, 0, Bounds(120, 8, 260, 21));
  version82Radio_ = CreateFlatCheckBox(self, IdPlatform82, "8.2", Bounds(392, 10, 44, 17), TCheckKind::FirstRadio);
  version83Radio_ = CreateFlatCheckBox(self, IdPlatform83, "8.3", Bounds(444, 10, 44, 17), TCheckKind::NextRadio);
  SetChecked(version82Radio_, true);

  // The connection: address; user with "Монопольно"; password with "Тест".
  connectionGroup_ = group("Соединение", Bounds(8, 36, 480, 102));
  addressLabel_ = label("Адрес информационной базы:", Bounds(16, 57, 180, 16));
  addressField_ = CreateButtonEdit(self, IdAddress, Bounds(200, 54, 280, 21), {EllipsisButton});
  userLabel_ = label("Пользователь:", Bounds(16, 84, 180, 16));
  userField_ = field(IdUser, WS_GROUP, Bounds(200, 81, 170, 21));
  exclusiveBox_ = CreateFlatCheckBox(self, IdExclusively, "Монопольно", Bounds(380, 83, 100, 17));
  passwordLabel_ = label("Пароль:", Bounds(16, 111, 180, 16));
  passwordField_ = field(IdPassword, WS_GROUP | ES_PASSWORD, Bounds(200, 108, 170, 21));
  SendMessageA(passwordField_, EM_SETPASSWORDCHAR, '*', 0);
  testConnectionButton_ = CreateSpeedButton(self, IdTestConnection, "Тест", Bounds(400, 107, 80, 23));

  // The archive folder, the name in the archive's name and the retention days.
  archiveFolderLabel_ = label("Каталог архива:", Bounds(8, 151, 108, 16));
  archiveFolderField_ = CreateButtonEdit(self, IdArchiveFolder, Bounds(120, 148, 368, 21),
                                         {EllipsisButton, TEditButton{"Открыть каталог", glyphs_.OpenFolder}});
  // The second copy, and the proof that the backup loads.
  copyFolderLabel_ = label("Копия архива:", Bounds(8, 178, 108, 16));
  copyFolderField_ = CreateButtonEdit(self, IdCopyFolder, Bounds(120, 175, 368, 21), {EllipsisButton});
  restoreCheckLabel_ = label("Проверка загрузкой:", Bounds(8, 205, 110, 16));
  restoreCheckList_ = CreateControl({.Parent = self,
                                     .ClassName = "COMBOBOX",
                                     .Style = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                                     .Bounds = Bounds(120, 202, 200, 200),
                                     .Id = IdRestoreCheck});
  for (const char* choice : RestoreCheckChoices) {
    SendMessageA(restoreCheckList_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
  }
  SendMessageA(restoreCheckList_, CB_SETCURSEL, 0, 0);
  addNameBox_ =
      CreateFlatCheckBox(self, IdAddName, "Добавлять наименование к названию архива", Bounds(8, 234, 320, 17));
  daysGroup_ = group("Дни", Bounds(408, 226, 80, 52));
  daysField_ = field(IdDays, 0, Bounds(420, 247, 56, 21));
  SendMessageA(daysField_, EM_SETLIMITTEXT, DaysLimit, 0);
  SetWindowSubclass(daysField_, DaysFieldProc, 1, reinterpret_cast<DWORD_PTR>(this));

  // The buttons at the bottom left; neither is the default button.
  saveButton_ = button(IdSave, "Да", WS_GROUP, Bounds(8, 256, 84, 25));
  cancelButton_ = button(IdCancel, "Нет", 0, Bounds(100, 256, 84, 25));

  ApplyFormFont(self);

  // Owned by the dialog, the tooltips go with its window.
  toolTips_ = CreateToolTips(self);
  AddToolTip(toolTips_, daysField_, "Автоматическое удаление архивных данных");
  AddToolTip(toolTips_, restoreCheckList_,
             "Загружать выгрузку из архива в пустую базу, чтобы убедиться, что из неё можно восстановиться");
}

void TTaskEditor::ShowTask() {
  if (IsNew()) {
    if (InstalledPlatforms.Found83) {
      SetChecked(version83Radio_, true);
      SetChecked(version82Radio_, false);
    }
    return;
  }
  const TTaskRecord& record = task_->Record;
  SetText(nameField_, record.Name);
  SetChecked(version83Radio_, record.Version == PlatformVersion83);
  SetChecked(version82Radio_, record.Version != PlatformVersion83);
  if (record.Exclusively) SetChecked(exclusiveBox_, true);
  if (record.AddName) SetChecked(addNameBox_, true);
  SetText(addressField_, record.Base);
  SetText(userField_, record.User);
  SetText(archiveFolderField_, record.DumpIB);
  SetText(copyFolderField_, record.CopyFolder);
  SendMessageA(restoreCheckList_, CB_SETCURSEL, static_cast<WPARAM>(record.RestoreCheck), 0);
  if (record.Days != 0) SetText(daysField_, std::to_string(record.Days));
  // A password that cannot be decoded is shown as it is stored.
  SetText(passwordField_, record.Password);
  if (!task_->PasswordError.empty()) {
    // The dialog is not on the screen yet: the box belongs to the main
    // window and carries its title.
    MessageBoxA(owner_, task_->PasswordError.c_str(), WindowText(owner_).c_str(), MB_OK | MB_ICONSTOP);
  }
  changed_ = false;
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
    case IdAddress:
    case IdUser:
    case IdPassword:
    case IdArchiveFolder:
    case IdCopyFolder:
    case IdDays:
      if (code == EN_CHANGE) MarkChanged();
      // The first button of every folder field chooses the folder.
      if (code == ButtonEditClick(0)) OnBrowseInto(GetDlgItem(Handle(), id));
      if (id == IdArchiveFolder && code == ButtonEditClick(1)) OnOpenArchiveFolder();
      break;
    case IdPlatform82:
    case IdPlatform83:
    case IdExclusively:
    case IdAddName:
      if (code == BN_CLICKED) MarkChanged();
      break;
    case IdRestoreCheck:
      if (code == CBN_SELCHANGE) MarkChanged();
      break;
    case IdTestConnection:
      if (code == BN_CLICKED) OnTestConnection();
      break;
    case IdSave:
      if (code == BN_CLICKED) OnSave();
      break;
    case IdCancel:
      Close(IDCANCEL);
      break;
  }
}

void TTaskEditor::MarkChanged() { changed_ = true; }

LRESULT CALLBACK TTaskEditor::DaysFieldProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR form) {
  if (message == WM_CHAR) {
    char key = static_cast<char>(wParam);
    reinterpret_cast<TTaskEditor*>(form)->FilterDaysKey(key);
    if (key == 0) return 0;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(edit, DaysFieldProc, 1);
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

void TTaskEditor::FilterDaysKey(char& key) {
  bool digit = key >= '0' && key <= '9';
  if (!digit && key != '\b' && key != '\r') key = 0;
}

bool TTaskEditor::MoveFocusOnEnter(WPARAM key) {
  if (key != VK_RETURN) return false;
  // Enter moves on like Tab, so that it never presses a button.
  // In the version group the tab stop sits on the checked button (automatic
  // radio buttons move it there), so passing the group changes no version.
  HWND next = GetNextDlgTabItem(Handle(), GetFocus(), FALSE);
  if (next) SetFocus(next);
  return true;
}

void TTaskEditor::OnBrowseInto(HWND field) {
  std::string folder = BrowseForFolder(Handle());
  if (!folder.empty()) SetText(field, folder);
}

void TTaskEditor::OnOpenArchiveFolder() {
  std::string folder = WindowText(archiveFolderField_);
  if (folder.size() < ShortestFolder) return;
  ShellExecuteA(Handle(), "Open", folder.c_str(), nullptr, nullptr, SW_SHOW);
}

void TTaskEditor::OnTestConnection() {
  if (testing_) return;
  PlatformVersion version = IsChecked(version83Radio_) ? PlatformVersion83 : PlatformVersion82;
  // The address as it would be stored: "D:/Bases" tried as "D:\Bases".
  std::string base = WithBackslashes(RecordFromControls()).Base;
  std::string connection = BuildTestConnectionString(base, WindowText(userField_), WindowText(passwordField_));
  // Opening an infobase can take a while: the wait cursor shows it, and the
  // dialog takes no other command until the outcome is shown.
  testing_ = true;
  EnableWindow(testConnectionButton_, FALSE);
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  struct TRestore {
    TTaskEditor& form;
    HCURSOR cursor;
    ~TRestore() {
      form.testing_ = false;
      EnableWindow(form.testConnectionButton_, TRUE);
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

void TTaskEditor::OnSave() {
  if (testing_) return;
  if (Save()) Close(IDOK);
}

void TTaskEditor::Refuse(const std::string& text, HWND focus) {
  MessageBoxA(Handle(), text.c_str(), Caption().c_str(), MB_OK | MB_ICONSTOP);
  if (focus) SetFocus(focus);
}

TTaskRecord TTaskEditor::RecordFromControls() const {
  TTaskRecord record;
  record.Version = IsChecked(version83Radio_) ? PlatformVersion83 : PlatformVersion82;
  record.Exclusively = IsChecked(exclusiveBox_);
  record.AddName = IsChecked(addNameBox_);
  record.Days = RetentionDays(WindowText(daysField_));
  record.Base = WindowText(addressField_);
  record.User = WindowText(userField_);
  record.Password = WindowText(passwordField_);
  record.DumpIB = WindowText(archiveFolderField_);
  record.CopyFolder = Trim(WindowText(copyFolderField_));
  LRESULT choice = SendMessageA(restoreCheckList_, CB_GETCURSEL, 0, 0);
  if (choice > 0 && choice < static_cast<LRESULT>(std::size(RestoreCheckChoices))) {
    record.RestoreCheck = static_cast<TRestoreCheck>(choice);
  }
  return record;
}

bool TTaskEditor::Save() {
  std::string name = Trim(WindowText(nameField_));
  if (name.empty()) {
    Refuse("Не указано задание!", nameField_);
    return false;
  }
  std::string old;
  bool renamed = false;
  if (!IsNew()) {
    if (!changed_) return true;
    old = task_->Record.Name;
    renamed = name != old;
    // Saving would blank the outcome the run is about to write, and a
    // rename would leave the run's task without its key.
    if (isTaskBusy_ && isTaskBusy_(old)) {
      Refuse("Задание «" + old + "» поставлено в очередь или выполняется: сохранить его можно будет после выполнения.",
             nameField_);
      return false;
    }
  }
  // The name is also the name of the task's dump, log and archive.
  if (std::string fault = TaskNameFault(name); !fault.empty()) {
    Refuse(fault, nameField_);
    return false;
  }
  // Letter case does not count here: the registry would open the other task.
  if ((IsNew() || renamed) && TaskExists(name)) {
    Refuse("Задание с таким именем уже существует!", nameField_);
    return false;
  }
  TTaskRecord record = WithBackslashes(RecordFromControls());
  record.Name = name;
  if (std::string fault = SlashFault(record); !fault.empty()) {
    Refuse(fault, record.User.find('/') != std::string::npos ? userField_ : addressField_);
    return false;
  }
  if (std::string fault = CopyFolderFault(record); !fault.empty()) {
    Refuse(fault, copyFolderField_);
    return false;
  }
  switch (ns::SaveTask(record, old)) {
    case TSaveResult::NotWritten:
      Refuse("Не удалось сохранить задание «" + name + "» в реестре.", nameField_);
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
