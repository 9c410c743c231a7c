#pragma once
// The words a task's status is shown with, and how the run queue's status and
// the outcome recorded in the registry combine into the two cells of the task
// list.
#include <string>
#include <string_view>

namespace ns {

// Statuses kept in the run queue while a worker run is under way.
inline constexpr std::string_view StatusQueued = "В очереди";
inline constexpr std::string_view StatusRunning = "Выполняется";
inline constexpr std::string_view StatusDone = "Выполнено";
inline constexpr std::string_view StatusFailed = "Ошибка";
// The task was not run: another instance of the program (in another logon
// session, say) runs it. Not busy here: nothing of this instance's waits.
inline constexpr std::string_view StatusElsewhere = "Выполняется в другом экземпляре";

// Outcome of the last run, recorded in the task's registry value "State".
inline constexpr std::string_view StateSucceeded = "Успех";
inline constexpr std::string_view StateFailed = "Ошибка";

// True exactly for "В очереди" and "Выполняется" (exact comparison): a task in
// one of these states must not be edited or deleted.
bool IsBusyStatus(std::string_view status);

struct TTaskListCells {
  std::string DateTime;
  std::string Status;
};

// What the list shows for a task. While the run queue knows the task
// (`queueStatus` not empty) its status is shown, with the recorded time only
// once the task is no longer busy: an older time beside "В очереди" would read
// as if it belonged to the waiting run. Otherwise the recorded outcome.
TTaskListCells TaskListCells(std::string_view queueStatus, std::string_view stateDateTime,
                             std::string_view state);

}  // namespace ns
