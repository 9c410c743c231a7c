// The options dialog opened from the main window's button and driven from a
// watcher thread while the main window's thread runs its modal loop.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "MainWindowFixture.h"
#include "win/Registry.h"
#include "tasks/TaskStore.h"

namespace ns::test {
namespace {

std::optional<std::string> StoredServers() {
  std::string servers;
  if (!ReadServersText(servers)) return std::nullopt;
  return servers;
}

struct TOptionsWindow {
  HWND Window;
  HWND Field;
  HWND Yes;
  HWND No;
};

class Options : public MainWindowTest {
 protected:
  // Opens the dialog with the button "Опции" and runs `drive` on it from a
  // watcher thread; returns what the field held when the dialog opened.
  std::string OpenOptions(const std::function<void(const TOptionsWindow&)>& drive) {
    std::string loaded;
    TWindowAction action("TFormOptions", [&](HWND window) {
      TOptionsWindow dialog{window, FindChild(window, "Edit"), FindChild(window, "Button", "Да"),
                            FindChild(window, "Button", "Нет")};
      loaded = TextOf(dialog.Field);
      drive(dialog);
    });
    Click(panel.optionsButton_);
    EXPECT_TRUE(action.Ran());
    PumpMessages(100);
    return loaded;
  }

  // The main window reads "Servers" again on every refresh: a stale text left
  // here shows whether the dialog asked for one.
  bool Refreshed() { return form.ServersText()->Get() != "устарело"; }

  void SetUp() override {
    Show();
    form.ServersText()->Set("устарело");
  }
};

void Type(HWND field, const char* text) { SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }

TEST_F(Options, ConfirmedChangesAreStoredAsTypedAndRefreshTheMainWindow) {
  struct TCase {
    const char* Name;
    std::optional<std::string> Before;
    std::function<void(const TOptionsWindow&)> Drive;
    std::optional<std::string> After;
    bool Refresh;
  };
  const TCase cases[] = {
      {"no change", std::string("srv1;srv2"), [](const TOptionsWindow& d) { Click(d.Yes); },
       std::string("srv1;srv2"), false},
      {"typed", std::string("srv1"), [](const TOptionsWindow& d) { Type(d.Field, " srv1 ; Бухгалтер "); Click(d.Yes); },
       std::string(" srv1 ; Бухгалтер "), true},
      {"typed and restored", std::string("srv1"),
       [](const TOptionsWindow& d) { Type(d.Field, "srv9"); Type(d.Field, "srv1"); Click(d.Yes); },
       std::string("srv1"), true},
      {"cleared", std::string("srv1"), [](const TOptionsWindow& d) { Type(d.Field, ""); Click(d.Yes); },
       std::string(""), true},
      {"first list without a store", std::nullopt,
       [](const TOptionsWindow& d) { Type(d.Field, "srv1"); Click(d.Yes); }, std::string("srv1"), true},
      {"Нет", std::string("srv1"), [](const TOptionsWindow& d) { Type(d.Field, "srv2"); Click(d.No); },
       std::string("srv1"), false},
      {"Escape", std::string("srv1"), [](const TOptionsWindow& d) { Type(d.Field, "srv2"); PostKey(d.Field, VK_ESCAPE); },
       std::string("srv1"), false},
      {"close box", std::string("srv1"),
       [](const TOptionsWindow& d) { Type(d.Field, "srv2"); PostMessageA(d.Window, WM_CLOSE, 0, 0); },
       std::string("srv1"), false},
      {"Enter is not Да", std::string("srv1"),
       [](const TOptionsWindow& d) { Type(d.Field, "srv2"); PostKey(d.Field, VK_RETURN); Sleep(200); Click(d.No); },
       std::string("srv1"), false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    RemoveStore();
    if (c.Before) {
      ASSERT_TRUE(WriteServersText(*c.Before));
    }
    form.ServersText()->Set("устарело");
    EXPECT_EQ(OpenOptions(c.Drive), c.Before.value_or(""));
    EXPECT_EQ(StoredServers(), c.After);
    EXPECT_EQ(Refreshed(), c.Refresh);
    if (c.Refresh) {
      EXPECT_EQ(form.ServersText()->Get(), *c.After);
    }
    EXPECT_TRUE(IsWindowEnabled(form.Handle()));
  }
}

// Sets the access list of the program's key (null: everyone may do all).
void SetStoreAccess(PACL acl) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, TaskStoreKeyPath, 0, nullptr, 0, WRITE_DAC, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  ASSERT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  RegCloseKey(key);
}

// Gives everyone all access again when it goes.
struct TAccessRestored {
  ~TAccessRestored() { SetStoreAccess(nullptr); }
};

// Denies everyone the writing of values into the program's key, so that
// storing "Servers" fails as under a strict policy.
void DenyWrites() {
  EXPLICIT_ACCESS_A deny = {};
  deny.grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
  deny.grfAccessMode = DENY_ACCESS;
  BYTE everyone[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof everyone;
  ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size));
  deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  deny.Trustee.ptstrName = reinterpret_cast<char*>(everyone);
  PACL acl = nullptr;
  ASSERT_EQ(SetEntriesInAclA(1, &deny, nullptr, &acl), ERROR_SUCCESS);
  SetStoreAccess(acl);
  LocalFree(acl);
}

TEST_F(Options, AFailedWriteIsReportedAndTheDialogStaysOpenWithTheText) {
  RemoveStore();
  TAccessRestored restored;
  DenyWrites();
  ASSERT_FALSE(WriteServersText("probe")) << "the registry does not refuse the write here";

  TBoxWatcher boxes(IDOK);
  std::string afterFailure;
  bool stillOpen = false;
  OpenOptions([&](const TOptionsWindow& d) {
    Type(d.Field, "srv1;srv2");
    Click(d.Yes);
    stillOpen = IsWindowVisible(d.Window);
    afterFailure = TextOf(d.Field);
    Click(d.No);
  });
  auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Caption, "Настройки");
  EXPECT_EQ(seen[0].Text, "Список компьютеров не может быть сохранён!");
  EXPECT_EQ(seen[0].Icon, TBoxIcon::Error);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(afterFailure, "srv1;srv2");
  EXPECT_FALSE(Refreshed());
}

}  // namespace
}  // namespace ns::test
