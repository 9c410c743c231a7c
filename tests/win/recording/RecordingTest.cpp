// Recording a task's outcome in the real registry and temporary folder of
// the test's own Wine prefix.
#include "backup/Recording.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "backup/RunQueue.h"
#include "tasks/TaskStore.h"

namespace ns {
namespace {

const std::string TaskName = "Ежедневно";

std::string TempPath(const std::string& name) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  return folder + name;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// The time as recorded: "dd.mm.yyyy hh:mm:ss".
std::string Recorded(const SYSTEMTIME& t) {
  char text[32];
  wsprintfA(text, "%02u.%02u.%04u %02u:%02u:%02u", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute, t.wSecond);
  return text;
}

class Recording : public testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, TaskStoreKeyPath);
    TRegistryKey task = OpenOrCreateTask(TaskName);
    ASSERT_TRUE(task.WriteText("", "8.3/FD:\\Base/DumpIBD:\\Archive"));
    ASSERT_TRUE(task.WriteText("StateDateTime", "01.01.2001 01:01:01"));
    ASSERT_TRUE(task.WriteText("State", "Успех"));
    ASSERT_TRUE(task.WriteText("Log", "Протокол прошлого запуска\r\n"));
    queue.SetStatus(TaskName, "Выполняется");
    queue.SetStatus("Другое", "В очереди");
  }

  std::string Value(const std::string& name) { return OpenTask(TaskName).ReadText(name); }

  // Records with the given outcome and message; checks what every outcome
  // records alike.
  void Record(bool succeeded, std::string& message) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    RecordOutcome(queue, TaskName, TaskKeyPath(TaskName), succeeded, message, dumpFile, designerLog);
    GetLocalTime(&after);
    const std::string time = Value("StateDateTime");
    EXPECT_TRUE(time == Recorded(before) || time == Recorded(after)) << time;
    EXPECT_EQ(Value("State"), succeeded ? "Успех" : "Ошибка");
    EXPECT_EQ(queue.StatusOf(TaskName), succeeded ? "Выполнено" : "Ошибка");
    EXPECT_EQ(queue.StatusOf("Другое"), "В очереди");
    EXPECT_EQ(Value(""), "8.3/FD:\\Base/DumpIBD:\\Archive");
  }

  TRunQueue queue;
  const std::string dumpFile = TempPath(TaskName + ".dt");
  const std::string designerLog = TempPath(TaskName + ".log");
};

TEST_F(Recording, DesignerLogBecomesTheLogWithCrLfLineEnds) {
  struct Case {
    const char* what;
    std::string file;
    std::string log;
  };
  // A long night's log: a megabyte of lines, recorded whole.
  std::string megabyte;
  for (int line = 0; megabyte.size() < (1u << 20); ++line) megabyte += "Обработано объектов: " + std::to_string(line) + "\r\n";
  const Case cases[] = {
      {"CR LF", "Выгрузка начата\r\nВыгрузка завершена\r\n", "Выгрузка начата\r\nВыгрузка завершена\r\n"},
      {"LF only, no end", "Выгрузка начата\nВыгрузка завершена", "Выгрузка начата\r\nВыгрузка завершена\r\n"},
      {"stops at NUL", std::string("строка\r\0мусор\n", 14), "строка\r\n"},
      {"empty file", "", ""},
      {"a megabyte", megabyte, megabyte},
  };
  for (const Case& c : cases) {
    for (bool succeeded : {true, false}) {
      WriteFile(dumpFile, "dump");
      WriteFile(designerLog, c.file);
      std::string message;
      Record(succeeded, message);
      EXPECT_EQ(Value("Log"), c.log) << c.what;
      EXPECT_EQ(message, c.log) << c.what;
      EXPECT_FALSE(FileExists(dumpFile));
      EXPECT_FALSE(FileExists(designerLog));
    }
  }
}

TEST_F(Recording, AnErrorMessageIsTheLogAndTheDesignerLogIsNotRead) {
  WriteFile(designerLog, "Журнал конфигуратора\r\n");
  std::string message = "Ошибка соединения с базой.";
  Record(false, message);
  EXPECT_EQ(Value("Log"), "Ошибка соединения с базой.");
  EXPECT_EQ(message, "Ошибка соединения с базой.");
  EXPECT_FALSE(FileExists(designerLog));
  EXPECT_FALSE(FileExists(dumpFile));
}

// A failed run must never go on showing the previous run's log, which may end
// in a success: without a log of its own the run says that it has none.
TEST_F(Recording, AnUnreadableDesignerLogIsRecordedAsNoLogNeverAsThePreviousOne) {
  // The designer never wrote a log.
  std::string message;
  Record(false, message);
  EXPECT_EQ(Value("Log"), "Конфигуратор не оставил протокола выгрузки.");
  EXPECT_EQ(message, "Конфигуратор не оставил протокола выгрузки.");

  // Something still writes the log and shares it with nobody.
  message.clear();
  ASSERT_TRUE(OpenOrCreateTask(TaskName).WriteText("Log", "Протокол прошлого запуска\r\n"));
  WriteFile(dumpFile, "dump");
  HANDLE writer = CreateFileA(designerLog.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(writer, "partial\r\n", 9, &written, nullptr);
  Record(false, message);
  CloseHandle(writer);
  EXPECT_EQ(Value("Log"), "Конфигуратор не оставил протокола выгрузки.");
  EXPECT_EQ(message, "Конфигуратор не оставил протокола выгрузки.");
  EXPECT_FALSE(FileExists(dumpFile));
  DeleteFileA(designerLog.c_str());
}

// Deleted (or renamed) while it ran, a task records nothing: a key made
// anew would hold an outcome but no settings, and fail every night after.
TEST_F(Recording, ATaskDeletedDuringItsRunRecordsNothingAndLeavesNoKey) {
  ASSERT_TRUE(DeleteTask(TaskName));
  WriteFile(dumpFile, "dump");
  std::string message;
  RecordOutcome(queue, TaskName, TaskKeyPath(TaskName), true, message, dumpFile, designerLog);
  EXPECT_FALSE(TaskExists(TaskName));
  EXPECT_EQ(ListTaskNames(), std::vector<std::string>{});
  EXPECT_EQ(queue.StatusOf(TaskName), "Выполнено");
  EXPECT_FALSE(FileExists(dumpFile));
}

}  // namespace
}  // namespace ns
