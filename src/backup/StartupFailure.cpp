#include "backup/StartupFailure.h"

#include <windows.h>

#include "backup/LocalClock.h"
#include "backup/RunLog.h"
#include "backup/TaskLock.h"
#include "backup/TaskStatus.h"
#include "base/CaseFolding.h"
#include "net/Delivery.h"
#include "tasks/TaskStore.h"
#include "win/RegistryKey.h"

namespace ns {

std::vector<std::string> NamedTasks(const std::vector<std::string>& arguments) {
  std::vector<std::string> tasks;
  auto add = [&tasks](const std::string& name) {
    if (name.empty()) return;
    for (const std::string& known : tasks) {
      if (SameText1251(known, name)) return;
    }
    tasks.push_back(name);
  };
  for (const std::string& argument : arguments) {
    if (argument == "*") {
      for (const std::string& name : ListTaskNames()) add(name);
      break;
    }
    add(StoredTaskName(argument));
  }
  return tasks;
}

void RecordStartupFailure(const std::vector<std::string>& arguments, std::string_view message,
                          const std::string& serversText) {
  std::string log(message);
  for (const std::string& task : NamedTasks(arguments)) {
    TTaskLock lock;
    if (lock.Take(task) == TTaskLock::TResult::HeldElsewhere) continue;
    TRegistryKey key;
    if (!key.Open(HKEY_CURRENT_USER, TaskKeyPath(task), KEY_SET_VALUE)) continue;
    key.WriteText("StateDateTime", FormatStateDateTime(LocalNow()));
    key.WriteText("State", std::string(StateFailed));
    key.WriteText("Log", log);
    key.Close();
    lock.Release();
    DeliverReport(serversText, task, log);
  }
}

}  // namespace ns
