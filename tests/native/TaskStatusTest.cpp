#include "backup/TaskStatus.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(TaskStatus, WordsAreTheProgramsOwnBytes) {
  EXPECT_EQ(StatusQueued, "\xC2\x20\xEE\xF7\xE5\xF0\xE5\xE4\xE8");
  EXPECT_EQ(StatusRunning, "\xC2\xFB\xEF\xEE\xEB\xED\xFF\xE5\xF2\xF1\xFF");
  EXPECT_EQ(StatusDone, "\xC2\xFB\xEF\xEE\xEB\xED\xE5\xED\xEE");
  EXPECT_EQ(StatusFailed, "\xCE\xF8\xE8\xE1\xEA\xE0");
  EXPECT_EQ(StateSucceeded, "\xD3\xF1\xEF\xE5\xF5");
  EXPECT_EQ(StateFailed, StatusFailed);
}

TEST(TaskStatus, BusyOnlyWhileWaitingOrRunning) {
  EXPECT_TRUE(IsBusyStatus("В очереди"));
  EXPECT_TRUE(IsBusyStatus("Выполняется"));
  for (const char* text : {"Выполнено", "Ошибка", "Успех", "", "в очереди", "В очереди ", "ВЫПОЛНЯЕТСЯ"}) {
    EXPECT_FALSE(IsBusyStatus(text)) << text;
  }
}

TEST(TaskStatus, ListCellsCombineQueueAndRecordedOutcome) {
  struct Case {
    const char* queueStatus;
    const char* stateDateTime;
    const char* state;
    const char* date;
    const char* status;
  } cases[] = {
      // A waiting or running task hides the time of its previous run.
      {"В очереди", "01.12.2026 03:00:00", "Успех", "", "В очереди"},
      {"Выполняется", "01.12.2026 03:00:00", "Ошибка", "", "Выполняется"},
      // Done in this run: the queue's word with the freshly recorded time.
      {"Выполнено", "10.12.2026 03:05:11", "Успех", "10.12.2026 03:05:11", "Выполнено"},
      {"Ошибка", "10.12.2026 03:05:11", "Ошибка", "10.12.2026 03:05:11", "Ошибка"},
      // Not in the queue: the recorded outcome, empty when never run.
      {"", "10.12.2026 03:05:11", "Ошибка", "10.12.2026 03:05:11", "Ошибка"},
      {"", "", "", "", ""},
  };
  for (const auto& c : cases) {
    auto cells = TaskListCells(c.queueStatus, c.stateDateTime, c.state);
    EXPECT_EQ(cells.DateTime, c.date) << c.queueStatus;
    EXPECT_EQ(cells.Status, c.status) << c.queueStatus;
  }
}

}  // namespace
}  // namespace ns
