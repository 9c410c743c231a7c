// The registry string functions and the task store, in the real registry of
// the test's own Wine prefix. Every text goes through the A functions, so the
// Cyrillic names and values are compared as the Windows-1251 bytes the
// program itself handles.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "win/Registry.h"
#include "tasks/TaskStore.h"
#include "win/RegistryKey.h"

namespace ns {
namespace {

const std::string Scratch = "Software\\Nightshelf-Test";

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, Scratch.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, TaskStoreKeyPath);
  }
  void TearDown() override { SetUp(); }

  // Stores raw bytes of any type, bypassing the code under test.
  static void PutRaw(const std::string& path, const std::string& name, DWORD type,
                     const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, type,
                             reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // The value's type and bytes as the registry holds them.
  static std::pair<DWORD, std::string> GetRaw(const std::string& path, const std::string& name) {
    DWORD type = 0;
    char data[4096];
    DWORD size = sizeof data;
    LONG result = RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                               &type, data, &size);
    if (result != ERROR_SUCCESS) return {REG_NONE, "<absent>"};
    return {type, std::string(data, size)};
  }
};

TEST_F(RegistryTest, WriteCreatesTheKeyAndStoresTextWithItsNul) {
  const std::string path = Scratch + "\\Задание\\Вложенный";
  ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, path, "Журнал", "Выгрузка завершена ёЁ"));
  EXPECT_EQ(GetRaw(path, "Журнал"), std::make_pair(DWORD{REG_SZ}, std::string("Выгрузка завершена ёЁ", 22)));

  ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, path, "", "8.3/FD:\\База/DumpIBE:\\Архив"));
  std::string text;
  ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, path, "", text));
  EXPECT_EQ(text, "8.3/FD:\\База/DumpIBE:\\Архив");

  ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, path, "Журнал", ""));
  text = "old";
  ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, path, "Журнал", text));
  EXPECT_EQ(text, "");
}

TEST_F(RegistryTest, WriteFailsWhenTheKeyCannotBeCreated) {
  // A stored key cannot live under a volatile one.
  HKEY volatileKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (Scratch + "\\Volatile").c_str(), 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &volatileKey, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(volatileKey);
  EXPECT_FALSE(WriteRegistryString(HKEY_CURRENT_USER, Scratch + "\\Volatile\\Child", "v", "t"));
  EXPECT_FALSE(WriteRegistryString(HKEY_CURRENT_USER, Scratch + "\\" + std::string(300, 'k'), "v", "t"));
}

TEST_F(RegistryTest, ReadTakesAnyTypeUpToTheFirstNulOrWhole) {
  struct Case {
    const char* what;
    DWORD type;
    std::string bytes;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"string with NUL", REG_SZ, std::string("\"C:\\1cv8\\1cv8.exe\" /Automation\0", 32),
       "\"C:\\1cv8\\1cv8.exe\" /Automation"},
      {"string without NUL", REG_SZ, "Протокол", "Протокол"},
      {"binary without NUL", REG_BINARY, "abc", "abc"},
      {"binary cut at NUL", REG_BINARY, std::string("ab\0cd", 5), "ab"},
      {"expandable, not expanded", REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9), "%TEMP%\\x"},
      {"dword as bytes", REG_DWORD, std::string("xyz\0", 4), "xyz"},
      {"empty binary", REG_BINARY, "", ""},
  };
  for (const Case& c : cases) {
    PutRaw(Scratch, "Значение", c.type, c.bytes);
    std::string text = "sentinel";
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, Scratch, "Значение", text)) << c.what;
    EXPECT_EQ(text, c.expected) << c.what;
  }
}

TEST_F(RegistryTest, FailedReadLeavesTheOutputAlone) {
  PutRaw(Scratch, "present", REG_SZ, std::string("x\0", 2));
  std::string text = "sentinel";
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, Scratch + "\\missing", "present", text));
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, Scratch, "absent", text));
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, Scratch, "", text));  // no default value
  EXPECT_EQ(text, "sentinel");
}

TEST_F(RegistryTest, KeyReadsAnAbsentValueAsEmptyAndDeletesWholeTrees) {
  TRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, Scratch + "\\Ветка", KEY_READ | KEY_WRITE));
  ASSERT_TRUE(key.WriteText("Состояние", "Успех"));
  EXPECT_EQ(key.ReadText("Состояние"), "Успех");
  EXPECT_EQ(key.ReadText("Нет такого"), "");
  EXPECT_FALSE(key.QueryText("Нет такого").has_value());
  key.Close();
  EXPECT_FALSE(key.WriteText("x", "y"));

  PutRaw(Scratch + "\\Ветка\\Лист", "v", REG_SZ, std::string("1\0", 2));
  EXPECT_FALSE(DeleteRegistryTree(HKEY_CURRENT_USER, ""));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, Scratch + "\\Ветка\\Лист"));
  EXPECT_TRUE(DeleteRegistryTree(HKEY_CURRENT_USER, Scratch + "\\Ветка"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, Scratch + "\\Ветка"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, Scratch));
  EXPECT_FALSE(DeleteRegistryTree(HKEY_CURRENT_USER, Scratch + "\\Ветка"));
}

TEST_F(RegistryTest, MissingStoreHoldsNoTasksAndIsNotCreatedByReading) {
  EXPECT_TRUE(ListTaskNames().empty());
  EXPECT_FALSE(TaskExists("Daily"));
  EXPECT_FALSE(OpenTask("Daily").IsOpen());
  std::string servers = "sentinel";
  EXPECT_FALSE(ReadServersText(servers));
  EXPECT_EQ(servers, "sentinel");
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, TaskStoreKeyPath));
}

TEST_F(RegistryTest, TasksAreListedByTheirKeyNamesInRegistryOrder) {
  for (const char* name : {"Еженедельно", "daily", "Weekly", "архив 1С"}) {
    ASSERT_TRUE(OpenOrCreateTask(name).IsOpen()) << name;
  }
  // A value of the store is not a task.
  ASSERT_TRUE(WriteServersText("pc1 ; pc2"));
  // The registry lists keys sorted without regard to letter case.
  EXPECT_EQ(ListTaskNames(), (std::vector<std::string>{"daily", "Weekly", "архив 1С", "Еженедельно"}));

  std::string servers;
  ASSERT_TRUE(ReadServersText(servers));
  EXPECT_EQ(servers, "pc1 ; pc2");
}

TEST_F(RegistryTest, TaskKeysIgnoreLetterCaseAndKeepTheirValues) {
  {
    TRegistryKey task = OpenOrCreateTask("Ежедневно");
    ASSERT_TRUE(task.IsOpen());
    ASSERT_TRUE(task.WriteText("", "8.2&/FD:\\Bases\\Shop/DumpIBE:\\Backup"));
    ASSERT_TRUE(task.WriteText("State", "Ошибка"));
  }
  EXPECT_TRUE(TaskExists("ЕЖЕДНЕВНО"));
  EXPECT_FALSE(TaskExists("Ежедневно\\x"));
  EXPECT_FALSE(TaskExists(""));
  // Whatever is named after the task takes the key's own spelling.
  EXPECT_EQ(StoredTaskName("ЕЖЕДНЕВНО"), "Ежедневно");
  EXPECT_EQ(StoredTaskName("ежедневно"), "Ежедневно");
  EXPECT_EQ(StoredTaskName("Ежедневно"), "Ежедневно");
  EXPECT_EQ(StoredTaskName("Еженедельно"), "");
  EXPECT_EQ(StoredTaskName(""), "");

  TRegistryKey again = OpenOrCreateTask("ежедневно");
  ASSERT_TRUE(again.IsOpen());
  EXPECT_EQ(again.ReadText(""), "8.2&/FD:\\Bases\\Shop/DumpIBE:\\Backup");
  EXPECT_EQ(again.ReadText("State"), "Ошибка");
  EXPECT_EQ(again.ReadText("Log"), "");
  EXPECT_EQ(ListTaskNames(), std::vector<std::string>{"Ежедневно"});

  std::string parameters;
  ASSERT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, TaskKeyPath("Ежедневно"), "", parameters));
  EXPECT_EQ(parameters, "8.2&/FD:\\Bases\\Shop/DumpIBE:\\Backup");
}

TEST_F(RegistryTest, DeletingATaskRemovesAllItHoldsAndNothingElse) {
  ASSERT_TRUE(OpenOrCreateTask("Keep").WriteText("", "8.3/Fx/DumpIBy"));
  ASSERT_TRUE(OpenOrCreateTask("Drop").WriteText("Log", "строка 1\r\nстрока 2\r\n"));
  PutRaw(TaskKeyPath("Drop") + "\\Nested", "v", REG_SZ, std::string("1\0", 2));
  ASSERT_TRUE(WriteServersText("pc1"));

  EXPECT_FALSE(DeleteTask(""));
  EXPECT_FALSE(DeleteTask("Drop\\Nested"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, TaskKeyPath("Drop") + "\\Nested"));

  EXPECT_TRUE(DeleteTask("drop"));
  EXPECT_FALSE(TaskExists("Drop"));
  EXPECT_EQ(ListTaskNames(), std::vector<std::string>{"Keep"});
  std::string servers;
  EXPECT_TRUE(ReadServersText(servers));
  EXPECT_EQ(servers, "pc1");
  EXPECT_FALSE(DeleteTask("Drop"));
}

}  // namespace
}  // namespace ns
