#include "tasks/TaskStore.h"

#include "base/CaseFolding.h"
#include "tasks/LaunchParameters.h"
#include "tasks/Settings.h"
#include "win/Registry.h"

namespace ns {

namespace {

// A task name is a single key name: an empty one would name the store itself
// and a backslash would reach into another key.
bool IsTaskName(const std::string& taskName) {
  return !taskName.empty() && taskName.find('\\') == std::string::npos;
}

}  // namespace

std::string TaskKeyPath(const std::string& taskName) {
  return std::string(TaskStoreKeyPath) + "\\" + taskName;
}

std::vector<std::string> ListTaskNames() {
  TRegistryKey store;
  if (!store.Open(HKEY_CURRENT_USER, TaskStoreKeyPath, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE)) {
    return {};
  }
  return store.SubKeyNames();
}

bool TaskExists(const std::string& taskName) {
  return IsTaskName(taskName) && RegistryKeyExists(HKEY_CURRENT_USER, TaskKeyPath(taskName));
}

TRegistryKey OpenOrCreateTask(const std::string& taskName) {
  TRegistryKey key;
  if (IsTaskName(taskName)) key.Create(HKEY_CURRENT_USER, TaskKeyPath(taskName), KEY_READ | KEY_WRITE);
  return key;
}

TRegistryKey OpenTask(const std::string& taskName) {
  TRegistryKey key;
  if (IsTaskName(taskName)) key.Open(HKEY_CURRENT_USER, TaskKeyPath(taskName), KEY_READ);
  return key;
}

bool DeleteTask(const std::string& taskName) {
  return IsTaskName(taskName) && DeleteRegistryTree(HKEY_CURRENT_USER, TaskKeyPath(taskName));
}

std::string StoredTaskName(const std::string& taskName) {
  if (!IsTaskName(taskName)) return {};
  for (std::string& name : ListTaskNames()) {
    if (SameText1251(name, taskName)) return std::move(name);
  }
  return {};
}

std::optional<TStoredTask> LoadTask(const std::string& taskName) {
  TRegistryKey key = OpenTask(taskName);
  if (!key.IsOpen()) return std::nullopt;
  TStoredTask task;
  task.LaunchParameters = key.QueryText("");
  task.Record = ParseLaunchParameters(task.LaunchParameters.value_or(""), &task.PasswordError);
  task.Record.Name = taskName;
  task.Record.RestoreCheck = ParseRestoreCheck(key.ReadText(RestoreCheckValue));
  task.Record.CopyFolder = key.ReadText(CopyFolderValue);
  return task;
}

TSaveResult SaveTask(const TTaskRecord& record, const std::string& previousName) {
  std::string parameters = ComposeLaunchParameters(record);
  {
    TRegistryKey key = OpenOrCreateTask(record.Name);
    bool written = key.IsOpen() && key.WriteText("", parameters);
    // A setting left at its default leaves no value, as keys written before
    // the setting existed hold none.
    const std::pair<const char*, std::string> extras[] = {
        {RestoreCheckValue, ComposeRestoreCheck(record.RestoreCheck)},
        {CopyFolderValue, record.CopyFolder},
    };
    for (const auto& [value, text] : extras) {
      if (!written) break;
      written = text.empty() ? key.DeleteValue(value) : key.WriteText(value, text);
    }
    if (written && !previousName.empty()) {
      for (const char* value : {"StateDateTime", "State", "Log"}) written = key.WriteText(value, "") && written;
    }
    if (!written) return TSaveResult::NotWritten;
  }
  if (!previousName.empty() && previousName != record.Name && !DeleteTask(previousName)) {
    return TSaveResult::OldNotDeleted;
  }
  return TSaveResult::Saved;
}

unsigned long ReadDesignerTimeoutSeconds() {
  std::string text;
  if (!ReadRegistryString(HKEY_CURRENT_USER, TaskStoreKeyPath, "DesignerTimeout", text)) {
    return DefaultDesignerTimeoutSeconds;
  }
  return ParseDesignerTimeoutSeconds(text);
}

bool ReadServersText(std::string& servers) {
  return ReadRegistryString(HKEY_CURRENT_USER, TaskStoreKeyPath, "Servers", servers);
}

bool WriteServersText(const std::string& servers) {
  return WriteRegistryString(HKEY_CURRENT_USER, TaskStoreKeyPath, "Servers", servers);
}

}  // namespace ns
