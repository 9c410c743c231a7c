// The task editor created for real and driven through its controls: what it
// stores for a new task, what it refuses and how, renaming, reopening,
// Days, Enter, the password that cannot be decoded, the connection test
// and the folder chooser.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "EditorFixture.h"
#include "controls/ButtonEdit.h"
#include "controls/FlatCheckBox.h"
#include "platform/PlatformInfo.h"
#include "base/TextFunctions.h"
#include "tasks/ScramblePassword.h"
#include "tasks/TaskStore.h"
#include "win/Bstr.h"

namespace ns {
namespace {

using test::Click;
using test::EditorTest;
using test::StoredValue;
using test::TBoxCatcher;
using test::Text;
using test::Type;

constexpr const char* Absent = "<absent>";

struct TNewTaskCase {
  const char* name;
  bool v83;
  bool exclusively;
  bool addName;
  const char* days;
  const char* base;
  const char* user;
  const char* password;
  const char* dumpIB;
  const char* savedName;
  const char* stored;  // "/P" stands for the scrambled password
};

TEST_F(EditorTest, NewTaskIsStoredAsItsFieldsComposeIt) {
  const TNewTaskCase cases[] = {
      {" Daily ", true, true, true, "14", "srv01\\acc", " admin ", "", "D:\\Archive", "Daily",
       "8.3*&/Days14/Ssrv01\\acc/Nadmin/DumpIBD:\\Archive"},
      // A file infobase is never stored exclusive.
      {"Магазин", false, true, true, "", "D:\\Bases\\Shop", "", "", "E:\\Backup", "Магазин",
       "8.2&/FD:\\Bases\\Shop/DumpIBE:\\Backup"},
      {"UNC", false, false, false, "007", "\\\\server\\share\\base", "", "", "", "UNC",
       "8.2/Days7/F\\\\server\\share\\base/DumpIB"},
      {"Empty", false, false, false, "000", "", "", "", "", "Empty", "8.2/S/DumpIB"},
      {"Склад", true, false, false, "", "srv\\Склад", "Кладовщик", "пароль ё", "D:/Backup", "Склад",
       "8.3/Ssrv\\Склад/NКладовщик/P/DumpIBD:\\Backup"},
  };
  InstalledPlatforms.Found83 = false;
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    auto form = OpenNew();
    Type(form->nameField_, test.name);
    if (test.v83) Click(form->version83Radio_);
    if (test.exclusively) Click(form->exclusiveBox_);
    if (test.addName) Click(form->addNameBox_);
    Type(form->daysField_, test.days);
    Type(form->addressField_, test.base);
    Type(form->userField_, test.user);
    Type(form->passwordField_, test.password);
    Type(form->archiveFolderField_, test.dumpIB);
    Click(form->saveButton_);
    EXPECT_EQ(form->ModalResult(), IDOK);

    std::string stored = StoredValue(test.savedName, "");
    auto scrambled = stored.find("/P");
    if (*test.password) {
      ASSERT_NE(scrambled, std::string::npos) << stored;
      std::string value = ValueAfterKey(stored, "/P", "/");
      EXPECT_EQ(ScramblePassword(value, Trim(test.user), false), test.password);
      stored.erase(scrambled + 2, value.size());
    }
    EXPECT_EQ(stored, test.stored);
    // A new task has never run.
    EXPECT_EQ(StoredValue(test.savedName, "State"), Absent);
    ASSERT_TRUE(form->Saved());
    EXPECT_EQ(form->Saved()->Name, test.savedName);
  }
}

TEST_F(EditorTest, NewTaskChecks83OnlyWhenItWasFound) {
  for (bool found : {false, true}) {
    InstalledPlatforms.Found83 = found;
    auto form = OpenNew();
    EXPECT_EQ(IsChecked(form->version83Radio_), found);
    EXPECT_EQ(IsChecked(form->version82Radio_), !found);
    EXPECT_EQ(Text(form->nameField_), "");
  }
  InstalledPlatforms.Found83 = false;
}

// "Да" on a name the editor must refuse: one box with the reason, and the
// dialog stays open with what was typed, the focus on the name.
void ExpectNameRefused(TTaskEditor& form, const std::string& name, const std::string& box) {
  Type(form.nameField_, name);
  Type(form.addressField_, "srv\\other");
  TBoxCatcher boxes;
  Click(form.saveButton_);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Задание");
  EXPECT_EQ(boxes.Boxes()[0].text, box);
  EXPECT_TRUE(boxes.Boxes()[0].errorIcon);
  EXPECT_EQ(form.ModalResult(), 0);
  EXPECT_EQ(GetFocus(), form.nameField_);
  EXPECT_EQ(Text(form.nameField_), name);
  EXPECT_EQ(Text(form.addressField_), "srv\\other");
  EXPECT_FALSE(form.Saved());
}

struct TRefusalCase {
  const char* name;
  const char* box;
};

TEST_F(EditorTest, RefusedNewTaskKeepsTheDialogOpenAndWritesNothing) {
  test::StoreTask("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  // No registry key can carry a name this long.
  const std::string longName(300, 'Я');
  const std::string registryRefused = "Не удалось сохранить задание «" + longName + "» в реестре.";
  const TRefusalCase cases[] = {
      {"   ", "Не указано задание!"},
      {"dAILY", "Задание с таким именем уже существует!"},
      {longName.c_str(), registryRefused.c_str()},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    ExpectNameRefused(*OpenNew(), test.name, test.box);
  }
  EXPECT_EQ(StoredValue("Daily", ""), "8.2/Ssrv\\db/DumpIBD:\\A");
  EXPECT_EQ(StoredValue("Daily", "State"), "Успех");
  HKEY store = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nightshelf", 0, KEY_READ, &store), ERROR_SUCCESS);
  DWORD keys = 0;
  RegQueryInfoKeyA(store, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(store);
  EXPECT_EQ(keys, 1u);
}

TEST_F(EditorTest, ExistingTaskIsLoadedIntoTheFieldsUnchanged) {
  std::string stored = "8.3*&/Days14/Ssrv01\\acc/Nadmin/P" + EncodePassword("секрет", "admin", 0x5A) +
                       "/DumpIBD:\\Archive";
  auto form = OpenListed("Daily", stored);
  EXPECT_EQ(Text(form->nameField_), "Daily");
  EXPECT_TRUE(IsChecked(form->version83Radio_));
  EXPECT_FALSE(IsChecked(form->version82Radio_));
  EXPECT_TRUE(IsChecked(form->exclusiveBox_));
  EXPECT_TRUE(IsChecked(form->addNameBox_));
  EXPECT_EQ(Text(form->addressField_), "srv01\\acc");
  EXPECT_EQ(Text(form->userField_), "admin");
  EXPECT_EQ(Text(form->passwordField_), "секрет");
  EXPECT_EQ(Text(form->archiveFolderField_), "D:\\Archive");
  EXPECT_EQ(Text(form->daysField_), "14");
  EXPECT_FALSE(form->changed_);
  Type(form->userField_, "admin2");
  EXPECT_TRUE(form->changed_);

  // A hand-made string without any "/" leaves 8.2 and both flags clear.
  auto bare = OpenListed("Bare", "8.3*&");
  EXPECT_TRUE(IsChecked(bare->version82Radio_));
  EXPECT_FALSE(IsChecked(bare->exclusiveBox_));
  EXPECT_FALSE(IsChecked(bare->addNameBox_));
}

TEST_F(EditorTest, OkWithoutChangeWritesNothingAndKeepsTheLastRun) {
  test::StoreTask("Daily", "8.2/Ssrv\\db/NAdmin/DumpIBD:\\A");
  auto form = OpenListed("Daily", "8.2/Ssrv\\db/NAdmin/DumpIBD:\\A");
  Click(form->saveButton_);
  EXPECT_EQ(form->ModalResult(), IDOK);
  EXPECT_EQ(StoredValue("Daily", "State"), "Успех");
  EXPECT_EQ(StoredValue("Daily", "StateDateTime"), "01.12.2026 03:00:05");
  EXPECT_FALSE(form->Saved());
}

TEST_F(EditorTest, ChangedTaskForgetsItsLastRunAndARenameReplacesTheOldKey) {
  test::StoreTask("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  auto form = OpenListed("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  Type(form->daysField_, "30");
  Click(form->saveButton_);
  ASSERT_TRUE(form->Saved());
  EXPECT_EQ(form->Saved()->Name, "Daily");
  EXPECT_EQ(StoredValue("Daily", ""), "8.2/Days30/Ssrv\\db/DumpIBD:\\A");
  for (const char* value : {"StateDateTime", "State", "Log"}) EXPECT_EQ(StoredValue("Daily", value), "") << value;

  test::StoreTask("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  auto renaming = OpenListed("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  Type(renaming->nameField_, "  Ночное ");
  Click(renaming->saveButton_);
  EXPECT_EQ(renaming->ModalResult(), IDOK);
  EXPECT_EQ(StoredValue("Ночное", ""), "8.2/Ssrv\\db/DumpIBD:\\A");
  for (const char* value : {"StateDateTime", "State", "Log"}) EXPECT_EQ(StoredValue("Ночное", value), "") << value;
  EXPECT_EQ(StoredValue("Daily", ""), Absent);
  ASSERT_TRUE(renaming->Saved());
  EXPECT_EQ(renaming->Saved()->Name, "Ночное");
}

TEST_F(EditorTest, RenameRefusedOntoAnotherTaskOrTheSameNameInOtherCase) {
  test::StoreTask("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  test::StoreTask("Weekly", "8.2/Ssrv\\wk/DumpIBD:\\W");
  for (const char* name : {"DAILY", "weekly"}) {
    auto form = OpenListed("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
    Type(form->nameField_, name);
    TBoxCatcher boxes;
    Click(form->saveButton_);
    ASSERT_EQ(boxes.Boxes().size(), 1u) << name;
    EXPECT_EQ(boxes.Boxes()[0].text, "Задание с таким именем уже существует!");
    EXPECT_EQ(form->ModalResult(), 0);
    EXPECT_EQ(GetFocus(), form->nameField_);
    EXPECT_FALSE(form->Saved());
  }
  EXPECT_EQ(StoredValue("Daily", "State"), "Успех");
  EXPECT_EQ(StoredValue("Weekly", ""), "8.2/Ssrv\\wk/DumpIBD:\\W");
}

// Makes a task's key undeletable for as long as it lives: it holds a sub-key
// that nobody may open, as a policy might leave behind.
class TUndeletableTask {
 public:
  explicit TUndeletableTask(const std::string& task) : lock_(TaskKeyPath(task) + "\\Locked") {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, lock_.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    // An access list that grants nothing.
    ACL empty;
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SetAccess(&empty);
  }
  ~TUndeletableTask() {
    SetAccess(nullptr);
    RegDeleteKeyA(HKEY_CURRENT_USER, lock_.c_str());
  }

 private:
  void SetAccess(PACL acl) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, lock_.c_str(), 0, WRITE_DAC, &key), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  std::string lock_;
};

TEST_F(EditorTest, RenameWhoseOldKeyStaysSaysSoAndKeepsTheNewOne) {
  test::StoreTask("Отдел", "8.2/Ssrv\\db/DumpIBD:\\A");
  auto form = OpenListed("Отдел", "8.2/Ssrv\\db/DumpIBD:\\A");
  TUndeletableTask undeletable("Отдел");
  Type(form->nameField_, "Склад");
  TBoxCatcher boxes;
  Click(form->saveButton_);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].caption, "Задание");
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Задание сохранено под именем «Склад», но прежнее задание «Отдел» удалить не удалось: "
            "теперь в списке есть оба.");
  EXPECT_EQ(form->ModalResult(), IDOK);
  EXPECT_EQ(StoredValue("Склад", ""), "8.2/Ssrv\\db/DumpIBD:\\A");
  EXPECT_EQ(StoredValue("Отдел", ""), "8.2/Ssrv\\db/DumpIBD:\\A");
  ASSERT_TRUE(form->Saved());
  EXPECT_EQ(form->Saved()->Name, "Склад");
}

// The copy folder and the restore check are kept beside the launch
// parameter string, which they leave as it was; at their defaults they leave
// no value at all. The archive folder itself is refused as the copy folder.
TEST_F(EditorTest, CopyFolderAndRestoreCheckAreKeptBesideTheLaunchParameters) {
  auto form = OpenNew();
  Type(form->nameField_, "Склад");
  Type(form->addressField_, "srv\\Склад");
  Type(form->archiveFolderField_, "D:\\Архив");
  Type(form->copyFolderField_, "d:/архив/");
  SendMessageA(form->restoreCheckList_, CB_SETCURSEL, 6, 0);  // по пятницам
  SendMessageA(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(form->restoreCheckList_), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(form->restoreCheckList_));
  TBoxCatcher boxes;
  Click(form->saveButton_);
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text,
            "Каталог копии архива совпадает с каталогом архива: копия должна лежать в другом месте.");
  EXPECT_EQ(form->ModalResult(), 0);
  EXPECT_EQ(StoredValue("Склад", ""), Absent);

  Type(form->copyFolderField_, "\\\\nas\\backup");
  Click(form->saveButton_);
  ASSERT_EQ(form->ModalResult(), IDOK);
  EXPECT_EQ(StoredValue("Склад", ""), "8.2/Ssrv\\Склад/DumpIBD:\\Архив");
  EXPECT_EQ(StoredValue("Склад", "CopyFolder"), "\\\\nas\\backup");
  EXPECT_EQ(StoredValue("Склад", "RestoreCheck"), "5");

  auto reopened = OpenListed("Склад", StoredValue("Склад", ""));
  EXPECT_EQ(Text(reopened->copyFolderField_), "\\\\nas\\backup");
  EXPECT_EQ(SendMessageA(reopened->restoreCheckList_, CB_GETCURSEL, 0, 0), 6);
  EXPECT_FALSE(reopened->changed_);
  // Back to the defaults: the values go.
  Type(reopened->copyFolderField_, "");
  SendMessageA(reopened->restoreCheckList_, CB_SETCURSEL, 0, 0);
  SendMessageA(reopened->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(reopened->restoreCheckList_), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(reopened->restoreCheckList_));
  Click(reopened->saveButton_);
  ASSERT_EQ(reopened->ModalResult(), IDOK);
  EXPECT_EQ(StoredValue("Склад", "CopyFolder"), Absent);
  EXPECT_EQ(StoredValue("Склад", "RestoreCheck"), Absent);
}

TEST_F(EditorTest, FileInfobaseIsReopenedWithoutMonopoly) {
  auto form = OpenNew();
  Type(form->nameField_, "Файловая");
  Type(form->addressField_, "C:\\Базы\\Торговля");
  Click(form->exclusiveBox_);
  Click(form->saveButton_);
  std::string stored = StoredValue("Файловая", "");
  auto reopened = OpenListed("Файловая", stored);
  EXPECT_FALSE(IsChecked(reopened->exclusiveBox_));
  EXPECT_EQ(Text(reopened->addressField_), "C:\\Базы\\Торговля");
}

TEST_F(EditorTest, DaysTakesThreeDigitsAndNothingElse) {
  auto form = OpenNew();
  test::TypeChars(form->daysField_, "1a2-3 ");
  EXPECT_EQ(Text(form->daysField_), "123");
  test::TypeChars(form->daysField_, "4");
  EXPECT_EQ(Text(form->daysField_), "123");
  test::TypeChars(form->daysField_, "\b\b9я");
  EXPECT_EQ(Text(form->daysField_), "19");
}

TEST_F(EditorTest, UndecodablePasswordIsShownAndTheDialogStillOpens) {
  TBoxCatcher boxes;
  auto form = OpenListed("Daily", "8.3/Days5/Ssrv\\db/NAdmin/PXYZ/DumpIBD:\\A");
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  // Three digits are no pairs of hexadecimal digits.
  EXPECT_EQ(boxes.Boxes()[0].text, "Пароль задания записан неверно: ожидаются пары шестнадцатеричных цифр.");
  // The application's title, not the dialog's.
  EXPECT_EQ(boxes.Boxes()[0].caption, "Nightshelf");
  EXPECT_TRUE(boxes.Boxes()[0].errorIcon);
  EXPECT_EQ(Text(form->passwordField_), "XYZ");
  EXPECT_EQ(Text(form->userField_), "Admin");
  EXPECT_EQ(Text(form->archiveFolderField_), "D:\\A");
  EXPECT_EQ(Text(form->daysField_), "5");
  EXPECT_TRUE(IsChecked(form->version83Radio_));
}

// Drives the running modal loop from another thread as a user at the
// keyboard would: posts keys to whatever has the focus and waits for it to
// move.
class TKeyboard {
 public:
  explicit TKeyboard(DWORD uiThread) : uiThread_(uiThread) {}
  HWND Focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(uiThread_, &info);
    return info.hwndFocus;
  }
  // Presses `key` on the focused control; the control focused afterwards.
  HWND Press(WPARAM key) {
    HWND before = Focus();
    PostMessageA(before, WM_KEYDOWN, key, 1);
    PostMessageA(before, WM_KEYUP, key, 0xC0000001);
    for (int wait = 0; wait < 200 && Focus() == before; ++wait) Sleep(10);
    return Focus();
  }

 private:
  DWORD uiThread_;
};

TEST_F(EditorTest, EnterMovesTheFocusThroughEveryStopAndNeverPressesAButton) {
  InstalledPlatforms.Found83 = true;
  auto form = OpenNew();
  InstalledPlatforms.Found83 = false;
  Type(form->nameField_, "Daily");
  const HWND expected[] = {form->version83Radio_,
                           ButtonEditField(form->addressField_),
                           form->userField_,
                           form->exclusiveBox_,
                           form->passwordField_,
                           ButtonEditField(form->archiveFolderField_),
                           ButtonEditField(form->copyFolderField_),
                           form->restoreCheckList_,
                           form->addNameBox_,
                           form->daysField_,
                           form->saveButton_,
                           form->cancelButton_,
                           form->nameField_};
  std::vector<HWND> visited;
  HWND start = nullptr;
  std::thread user([&, uiThread = GetCurrentThreadId()] {
    TKeyboard keyboard(uiThread);
    for (int wait = 0; wait < 200 && keyboard.Focus() != form->nameField_; ++wait) Sleep(10);
    start = keyboard.Focus();
    for (size_t step = 0; step < std::size(expected); ++step) visited.push_back(keyboard.Press(VK_RETURN));
    keyboard.Press(VK_ESCAPE);
    PostMessageA(form->Handle(), WM_CLOSE, 0, 0);
  });
  form->ShowModal();
  user.join();
  EXPECT_EQ(start, form->nameField_);
  EXPECT_EQ(visited, std::vector<HWND>(std::begin(expected), std::end(expected)));
  // Passing the radio buttons did not change the version.
  EXPECT_TRUE(IsChecked(form->version83Radio_));
  EXPECT_FALSE(IsChecked(form->version82Radio_));
  EXPECT_EQ(form->ModalResult(), IDCANCEL);
  EXPECT_EQ(StoredValue("Daily", ""), Absent);
  EXPECT_FALSE(form->Saved());
  EXPECT_TRUE(IsWindowEnabled(owner_.Handle()));
}

// Takes the connector's place for both versions and records what each is
// asked to connect to; every connection opens.
class TRecordingConnector : public IClassFactory, public IDispatch {
 public:
  struct TRequest {
    int version;
    std::string connectionString;
    bool operator==(const TRequest&) const = default;
  };

  TRecordingConnector() {
    for (int version : {1, 2}) {
      CLSID classId;
      EXPECT_EQ(CLSIDFromProgID(version == 1 ? L"V82.COMConnector" : L"V83.COMConnector", &classId), S_OK);
      factories_[version - 1].owner = this;
      factories_[version - 1].version = version;
      EXPECT_EQ(CoRegisterClassObject(classId, &factories_[version - 1], CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                      REGCLS_MULTIPLEUSE, &cookies_[version - 1]),
                S_OK);
    }
  }
  ~TRecordingConnector() {
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
  }
  std::vector<TRequest> Requests;

 private:
  struct TFactory : IClassFactory {
    TRecordingConnector* owner = nullptr;
    int version = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
      return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
      owner->version_ = version;
      return owner->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  };

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this) : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
    if (std::wstring(names[0]) != L"Connect") return DISP_E_UNKNOWNNAME;
    ids[0] = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    if (id != 1 || parameters->cArgs != 1 || parameters->rgvarg[0].vt != VT_BSTR) return DISP_E_BADPARAMCOUNT;
    Requests.push_back({version_, BstrToAnsi(parameters->rgvarg[0].bstrVal)});
    if (result) VariantInit(result);
    return S_OK;
  }

  TFactory factories_[2];
  DWORD cookies_[2] = {};
  int version_ = 0;
};

struct TTestButtonCase {
  bool v83;
  const char* base;
  const char* user;
  const char* password;
  TRecordingConnector::TRequest expected;
};

TEST_F(EditorTest, TestButtonSendsTheFieldsAsTheyStandAndSavesNothing) {
  const TTestButtonCase cases[] = {
      {false, "C:\\Базы\\Бухгалтерия", " Бухгалтер", "пароль ", {1, "File='C:\\Базы\\Бухгалтерия';Usr=' Бухгалтер';Pwd=пароль "}},
      {true, "\\\\server\\share", "", "", {2, "File='\\\\server\\share';Usr='';Pwd="}},
      {true, "localhost\\dept\\trade", "Admin", "se;cret", {2, "Srvr=localhost;Ref=dept\\trade;Usr='Admin';Pwd=se;cret"}},
      {false, " srv1 ", "Admin", "", {1, "Srvr= srv1 ;Usr='Admin';Pwd="}},
  };
  test::StoreTask("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  auto form = OpenListed("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  TRecordingConnector connector;
  TBoxCatcher boxes;
  for (const auto& test : cases) {
    Click(test.v83 ? form->version83Radio_ : form->version82Radio_);
    Type(form->addressField_, test.base);
    Type(form->userField_, test.user);
    Type(form->passwordField_, test.password);
    form->changed_ = false;
    Click(form->testConnectionButton_);
    ASSERT_FALSE(connector.Requests.empty());
    EXPECT_EQ(connector.Requests.back(), test.expected);
    EXPECT_FALSE(form->changed_);
  }
  EXPECT_EQ(connector.Requests.size(), std::size(cases));
  EXPECT_EQ(boxes.Boxes().size(), std::size(cases));
  EXPECT_EQ(StoredValue("Daily", ""), "8.2/Ssrv\\db/DumpIBD:\\A");
  EXPECT_EQ(form->ModalResult(), 0);
}

TEST_F(EditorTest, TestButtonTellsBothOutcomesAndHoldsTheDialogMeanwhile) {
  test::WriteStandinState("[Cluster]\r\nName=Local cluster\r\nPort=1541\r\n[Process]\r\nHost=localhost\r\nPort=1560\r\n"
                          "[Infobase]\r\nName=trade\r\nUser=Admin:secret\r\n");
  auto form = OpenNew();
  Type(form->nameField_, "Daily");
  Click(form->version83Radio_);
  Type(form->addressField_, "localhost\\trade");
  Type(form->userField_, "Admin");
  // While the box is open the connection test is still running: the dialog
  // must not close, save or start a second test.
  bool buttonDisabled = false;
  TBoxCatcher boxes([&](HWND) {
    buttonDisabled = !IsWindowEnabled(form->testConnectionButton_);
    SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
    SendMessageA(form->Handle(), WM_COMMAND, IDCANCEL, 0);
    Click(form->saveButton_);
    Click(form->testConnectionButton_);
  });
  for (const char* password : {"secret", "wrong"}) {
    Type(form->passwordField_, password);
    Click(form->testConnectionButton_);
  }
  const auto& shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].caption, "Задание");
  EXPECT_EQ(shown[0].text, "Соединение успешно установлено!");
  EXPECT_TRUE(shown[0].informationIcon);
  EXPECT_EQ(shown[1].caption, "Задание");
  EXPECT_EQ(shown[1].text.rfind("Ошибка: Идентификация пользователя не выполнена", 0), 0u) << shown[1].text;
  EXPECT_TRUE(shown[1].errorIcon);
  EXPECT_TRUE(buttonDisabled);
  EXPECT_EQ(form->ModalResult(), 0);
  EXPECT_EQ(StoredValue("Daily", ""), Absent);
  EXPECT_TRUE(IsWindowEnabled(form->testConnectionButton_));
  // Afterwards the dialog closes as ever.
  SendMessageA(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(form->ModalResult(), IDCANCEL);
}

TEST_F(EditorTest, FolderChooserCancelledLeavesTheFieldAndChosenReplacesIt) {
  auto form = OpenNew();
  Type(form->addressField_, "srv\\db");
  Type(form->archiveFolderField_, "D:\\Архив");
  {
    TBoxCatcher chooser({}, IDCANCEL);
    Click(ButtonEditButton(form->addressField_, 0));
    Click(ButtonEditButton(form->archiveFolderField_, 0));
    ASSERT_EQ(chooser.Boxes().size(), 2u);
  }
  EXPECT_EQ(Text(form->addressField_), "srv\\db");
  EXPECT_EQ(Text(form->archiveFolderField_), "D:\\Архив");

  CreateDirectoryA("C:\\Копии", nullptr);
  TBoxCatcher chooser([](HWND box) {
    SendMessageA(box, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>("C:\\Копии"));
  });
  Click(ButtonEditButton(form->archiveFolderField_, 0));
  ASSERT_EQ(chooser.Boxes().size(), 1u);
  EXPECT_EQ(Text(form->archiveFolderField_), "C:\\Копии");
}

// The name is also the name of the task's dump, log and archive: one that
// Windows cannot take as a file name is refused with its reason, and the
// dialog keeps what was typed.
TEST_F(EditorTest, NameThatCannotNameAFileIsRefusedWithItsReason) {
  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"Отдел\\Склад", "в нём есть знак «\\»."},
      {"Отдел/Склад", "в нём есть знак «/»."},
      {"Daily:1", "в нём есть знак «:»."},
      {"All*", "в нём есть знак «*»."},
      {"Why?", "в нём есть знак «?»."},
      {"\"Q\"", "в нём есть знак «\"»."},
      {"<B>", "в нём есть знак «<»."},
      {"a|b", "в нём есть знак «|»."},
      {"Tab\tName", "в нём есть управляющий символ (код 9)."},
      {"Daily.", "оно оканчивается точкой."},
      {"CON", "«CON» — имя устройства Windows."},
      {"nul.txt", "«nul» — имя устройства Windows."},
      {"Com1", "«Com1» — имя устройства Windows."},
      {"LPT9.log", "«LPT9» — имя устройства Windows."},
  };
  InstalledPlatforms.Found83 = false;
  test::StoreTask("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    // A new task, and a listed one renamed: the first two cases are enough
    // to show the rename goes through the same check.
    for (bool isNew : {true, false}) {
      if (!isNew && &test - cases >= 2) continue;
      auto form = isNew ? OpenNew() : OpenListed("Daily", "8.2/Ssrv\\db/DumpIBD:\\A");
      ExpectNameRefused(*form, test.name, std::string("Наименование задания не годится для имени файла: ") + test.reason);
    }
  }
  // Nothing was written: the one task there was keeps its settings and run.
  EXPECT_EQ(ListTaskNames(), (std::vector<std::string>{"Daily"}));
  EXPECT_EQ(StoredValue("Daily", ""), "8.2/Ssrv\\db/DumpIBD:\\A");
  EXPECT_EQ(StoredValue("Daily", "State"), "Успех");

  // Names that only resemble those are saved.
  for (const char* name : {"CONSOLE", "COM10", "Склад (копия) №2", "v8.3 Daily"}) {
    auto form = OpenNew();
    Type(form->nameField_, name);
    Click(form->saveButton_);
    EXPECT_EQ(form->ModalResult(), IDOK) << name;
    EXPECT_EQ(StoredValue(name, ""), "8.2/S/DumpIB") << name;
  }
}

// A value ends at the next "/" in the stored text. In the folders the editor
// turns "/" into "\", which Windows takes for the same path; elsewhere it
// refuses the value and names its field. A server given with its cluster's
// port is a server: "Монопольно" is kept.
TEST_F(EditorTest, SlashesInFoldersAreTurnedElsewhereRefused) {
  const struct {
    const char* base;
    const char* user;
    const char* dumpIB;
    const char* stored;  // nullptr when refused
    const char* field;   // the field the refusal names
  } cases[] = {
      {"D:/Bases/Shop", "", "D:/Backup", "8.2/FD:\\Bases\\Shop/DumpIBD:\\Backup", nullptr},
      {"//nas/bases/shop", "Admin", "//nas/backup/", "8.2/F\\\\nas\\bases\\shop/NAdmin/DumpIB\\\\nas\\backup\\",
       nullptr},
      {"srv1:1641\\trade", "", "D:\\A", "8.2*/Ssrv1:1641\\trade/DumpIBD:\\A", nullptr},
      {"localhost:1541\\trade", "", "E:/", "8.2*/Slocalhost:1541\\trade/DumpIBE:\\", nullptr},
      {"srv1/trade", "", "D:\\A", nullptr, "Адрес информационной базы"},
      {"srv1\\trade", "domain/user", "D:/A", nullptr, "Пользователь"},
  };
  InstalledPlatforms.Found83 = false;
  for (const auto& test : cases) {
    SCOPED_TRACE(test.base);
    auto form = OpenNew();
    Type(form->nameField_, "Slash");
    Type(form->addressField_, test.base);
    Type(form->userField_, test.user);
    Type(form->archiveFolderField_, test.dumpIB);
    Click(form->exclusiveBox_);
    TBoxCatcher boxes;
    Click(form->saveButton_);
    if (test.stored) {
      EXPECT_TRUE(boxes.Boxes().empty());
      EXPECT_EQ(form->ModalResult(), IDOK);
      std::string stored = StoredValue("Slash", "");
      EXPECT_EQ(stored, test.stored);
      auto reopened = OpenListed("Slash", stored);
      EXPECT_EQ(IsChecked(reopened->exclusiveBox_), std::string(test.stored).find('*') != std::string::npos);
      EXPECT_EQ(Text(reopened->archiveFolderField_), ValueAfterKey(test.stored, "/DumpIB", "/"));
      ASSERT_TRUE(form->Saved());
      EXPECT_EQ(form->Saved()->Name, "Slash");
      ASSERT_TRUE(DeleteTask("Slash"));
      continue;
    }
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Задание");
    EXPECT_EQ(boxes.Boxes()[0].text, std::string("Поле «") + test.field +
                                         "» не может содержать знак «/»: им кончается значение в строке "
                                         "параметров задания.");
    EXPECT_TRUE(boxes.Boxes()[0].errorIcon);
    EXPECT_EQ(form->ModalResult(), 0);
    // The address field keeps the focus in its edit part.
    HWND field = *test.user ? form->userField_ : form->addressField_;
    EXPECT_TRUE(GetFocus() == field || IsChild(field, GetFocus()));
    // What was typed stays on the screen, and nothing is written.
    EXPECT_EQ(Text(form->addressField_), test.base);
    EXPECT_EQ(Text(form->userField_), test.user);
    EXPECT_EQ(Text(form->archiveFolderField_), test.dumpIB);
    EXPECT_EQ(StoredValue("Slash", ""), Absent);
    EXPECT_FALSE(form->Saved());
  }
}

}  // namespace
}  // namespace ns
