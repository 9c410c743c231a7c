#include "tasks/Taskedit.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include "base/TextFunctions.h"
#include "controls/ButtonEdit.h"
#include "controls/SpeedButton.h"
#include "controls/FlatCheckBox.h"
#include "platform/ConnectionString.h"
#include "platform/Connector.h"
#include "platform/PlatformInfo.h"
#include "tasks/RefreshMessage.h"
#include "tasks/TaskName.h"
#include "tasks/TaskStore.h"
#include "win/UniqueItemIdList.h"
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

std::string BrowseForFolder(HWND owner) {
  UniqueItemIdList root;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, root.put());
  char displayName[MAX_PATH] = {};
  BROWSEINFOA browse = {};
  browse.hwndOwner = owner;
  browse.pidlRoot = root.get();
  browse.pszDisplayName = displayName;
  browse.lpszTitle = "Выберите каталог";
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  UniqueItemIdList chosen(SHBrowseForFolderA(&browse));
  char path[MAX_PATH] = {};
  if (!chosen || !SHGetPathFromIDListA(chosen.get(), path)) return {};
  return path;
}

TFormTaskEdit::TFormTaskEdit(HWND owner, bool isNew, HWND listView, TTaskEditGlyphs glyphs)
    : IsNew(isNew), owner_(owner), listView_(listView), glyphs_(glyphs) {
  InitControlsOnce();
  // Fixed size: a single border and the close box only.
  CreateForm(ClassName, FormCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU,
             WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, ClientWidth, ClientHeight, owner);
  CreateControls();
  if (glyphs_.Ok) SendMessageA(bbtOk, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyphs_.Ok));
  FormCreate();
}

TFormTaskEdit::~TFormTaskEdit() {
  if (hint_) DestroyWindow(hint_);
}

void TFormTaskEdit::CreateControls() {
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

void TFormTaskEdit::FormCreate() {
  if (IsNew) {
    if (Platform1CInfo.Found83) {
      SetChecked(ChPlatform83, true);
      SetChecked(ChPlatform82, false);
    }
    return;
  }
  SetText(TaskName, SelectedTaskName());
  std::string passwordError;
  TTaskRecord record = ParseLaunchParameters(SelectedLaunchParameters(), &passwordError);
  SetChecked(ChPlatform83, record.Version == PlatformVersion83);
  SetChecked(ChPlatform82, record.Version != PlatformVersion83);
  if (record.Exclusively) SetChecked(ChExclusively, true);
  if (record.AddName) SetChecked(ChAddName, true);
  SetText(Base, record.Base);
  SetText(User, record.User);
  SetText(DumpIB, record.DumpIB);
  SetText(Days, record.Days);
  // A password that cannot be decoded is shown as it is stored.
  SetText(Password, record.Password);
  if (!passwordError.empty()) {
    // The dialog is not on the screen yet: the box belongs to the main
    // window and carries its title.
    MessageBoxA(owner_, passwordError.c_str(), WindowText(owner_).c_str(), MB_OK | MB_ICONSTOP);
  }
  Changed = false;
}

std::string TFormTaskEdit::SelectedTaskName() const {
  int item = ListView_GetNextItem(listView_, -1, LVNI_SELECTED);
  if (item < 0) return {};
  char text[1024] = {};
  ListView_GetItemText(listView_, item, 0, text, sizeof text);
  return text;
}

std::string TFormTaskEdit::SelectedLaunchParameters() const {
  int item = ListView_GetNextItem(listView_, -1, LVNI_SELECTED);
  if (item < 0) return {};
  // A launch parameter string has no length limit of its own.
  std::vector<char> text(32768);
  ListView_GetItemText(listView_, item, 1, text.data(), static_cast<int>(text.size()));
  return text.data();
}

void TFormTaskEdit::Close(int result) {
  if (testing_) return;
  modalResult_ = result;
  if (IsModal()) EndModal(result);
}

LRESULT TFormTaskEdit::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
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

void TFormTaskEdit::OnCommand(int id, WORD code) {
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

void TFormTaskEdit::TaskNameChange() { Changed = true; }

LRESULT CALLBACK TFormTaskEdit::DaysProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR form) {
  if (message == WM_CHAR) {
    char key = static_cast<char>(wParam);
    reinterpret_cast<TFormTaskEdit*>(form)->DaysKeyPress(key);
    if (key == 0) return 0;
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(edit, DaysProc, 1);
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

void TFormTaskEdit::DaysKeyPress(char& key) {
  bool digit = key >= '0' && key <= '9';
  if (!digit && key != '\b' && key != '\r') key = 0;
}

bool TFormTaskEdit::FormKeyDown(WPARAM key) {
  if (key != VK_RETURN) return false;
  // Enter moves on like Tab, so that it never presses a button.
  // In the version group the tab stop sits on the checked button (automatic
  // radio buttons move it there), so passing the group changes no version.
  HWND next = GetNextDlgTabItem(Handle(), GetFocus(), FALSE);
  if (next) SetFocus(next);
  return true;
}

void TFormTaskEdit::BaseEditButtons0Click() {
  std::string folder = BrowseForFolder(Handle());
  if (!folder.empty()) SetText(Base, folder);
}

void TFormTaskEdit::DumpIBEditButtons0Click() {
  std::string folder = BrowseForFolder(Handle());
  if (!folder.empty()) SetText(DumpIB, folder);
}

void TFormTaskEdit::DumpIBEditButtons1Click() {
  std::string folder = WindowText(DumpIB);
  if (folder.size() < ShortestFolder) return;
  ShellExecuteA(Handle(), "Open", folder.c_str(), nullptr, nullptr, SW_SHOW);
}

void TFormTaskEdit::sbTestConnectionClick() {
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
    TFormTaskEdit& form;
    HCURSOR cursor;
    ~TRestore() {
      form.testing_ = false;
      EnableWindow(form.sbTestConnection, TRUE);
      SetCursor(cursor);
    }
  } restore{*this, previous};
  TestConnection(connection, Caption(), version, true);
}

void TFormTaskEdit::bbtOkClick() {
  if (testing_) return;
  if (SaveTask()) Close(IDOK);
}

void TFormTaskEdit::Refuse(const std::string& text, HWND focus) {
  MessageBoxA(Handle(), text.c_str(), Caption().c_str(), MB_OK | MB_ICONSTOP);
  if (focus) SetFocus(focus);
}

TTaskRecord TFormTaskEdit::ControlsRecord() const {
  TTaskRecord record;
  record.Version = IsChecked(ChPlatform83) ? PlatformVersion83 : PlatformVersion82;
  record.Exclusively = IsChecked(ChExclusively);
  record.AddName = IsChecked(ChAddName);
  record.Days = WindowText(Days);
  record.Base = WindowText(Base);
  record.User = WindowText(User);
  record.Password = WindowText(Password);
  record.DumpIB = WindowText(DumpIB);
  return record;
}

bool TFormTaskEdit::SaveTask() {
  std::string name = Trim(WindowText(TaskName));
  if (name.empty()) {
    Refuse("Не указано задание!", TaskName);
    return false;
  }
  std::string old;
  bool renamed = false;
  if (!IsNew) {
    if (!Changed) return true;
    old = SelectedTaskName();
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
  if (std::string fault = SlashFault(record); !fault.empty()) {
    Refuse(fault, record.User.find('/') != std::string::npos ? User : Base);
    return false;
  }
  // Composed before the key exists, so that a password that cannot be
  // stored leaves no empty task behind.
  std::string parameters = ComposeLaunchParameters(record);
  {
    TRegistryKey key = OpenOrCreateTask(name);
    bool written = key.IsOpen() && key.WriteText("", parameters);
    if (written && !IsNew) {
      // The last run's outcome belongs to the settings it ran with.
      for (const char* value : {"StateDateTime", "State", "Log"}) written = key.WriteText(value, "") && written;
    }
    if (!written) {
      Refuse("Не удалось сохранить задание «" + name + "» в реестре.", TaskName);
      return false;
    }
  }
  if (renamed && !DeleteTask(old)) {
    Refuse("Задание сохранено под именем «" + name + "», но прежнее задание «" + old +
           "» удалить не удалось: теперь в списке есть оба.");
  }
  PostRefreshSelecting(owner_, name);
  return true;
}

}  // namespace ns
