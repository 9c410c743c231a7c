#include "backup/TaskStatus.h"

namespace ns {

bool IsBusyStatus(std::string_view status) {
  return status == StatusQueued || status == StatusRunning;
}

TTaskListCells TaskListCells(std::string_view queueStatus, std::string_view stateDateTime,
                             std::string_view state) {
  if (queueStatus.empty()) return {std::string(stateDateTime), std::string(state)};
  return {IsBusyStatus(queueStatus) ? std::string() : std::string(stateDateTime),
          std::string(queueStatus)};
}

}  // namespace ns
