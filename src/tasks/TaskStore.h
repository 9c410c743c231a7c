#pragma once
// The task store: one sub-key per task under the key
// HKEY_CURRENT_USER\Software\Nightshelf, named after the task; the store's
// own value "Servers" holds the computers that receive the reports. Nothing
// is created until a task or the list of computers is saved: a missing store
// simply holds no tasks.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tasks/TaskRecord.h"
#include "win/RegistryKey.h"

namespace ns {

// Path of the store under HKEY_CURRENT_USER.
inline constexpr char TaskStoreKeyPath[] = "Software\\Nightshelf";

// The task key's values beside the launch parameter string: how often the
// backup is loaded as a check, and where the archive is copied.
inline constexpr char RestoreCheckValue[] = "RestoreCheck";
inline constexpr char CopyFolderValue[] = "CopyFolder";

// Path of a task's key under HKEY_CURRENT_USER.
std::string TaskKeyPath(const std::string& taskName);

// The task names in the order the registry lists them; none when the store
// is missing.
std::vector<std::string> ListTaskNames();

// Whether a task of that name exists (letter case is ignored, as the
// registry ignores it).
bool TaskExists(const std::string& taskName);

// The task's name as its key spells it, for a name given in any letter case
// ("бухгалтерия" for the key "Бухгалтерия"); empty when there is no such
// task. Whatever is named after a task (its dump, its archive entry, its
// archive) must use this spelling: the registry ignores letter case, the
// archives do not.
std::string StoredTaskName(const std::string& taskName);

// Opens the task's key for reading and writing, creating it (and the store)
// when missing. A closed key when that fails.
TRegistryKey OpenOrCreateTask(const std::string& taskName);

// Opens an existing task's key for reading only. A closed key when missing.
TRegistryKey OpenTask(const std::string& taskName);

// Deletes the task's key with all it holds. An empty name, or one with a
// backslash, names no task and deletes nothing.
bool DeleteTask(const std::string& taskName);

// A task as its key holds it.
struct TStoredTask {
  // The launch parameter string as stored; none when the key has no
  // default value (the list shows such a task with an empty string, the
  // worker passes it over).
  std::optional<std::string> LaunchParameters;
  // Its settings, with the name as given to LoadTask.
  TTaskRecord Record;
  // Why the stored password cannot be decoded; Record.Password then holds
  // the stored text. Empty when it decodes.
  std::string PasswordError;
};

// Reads a task from the store; none when its key cannot be opened.
std::optional<TStoredTask> LoadTask(const std::string& taskName);

enum class TSaveResult {
  Saved,
  NotWritten,      // the key or a value could not be written
  OldNotDeleted,   // saved under the new name, but the old key stays
};

// Stores a task under record.Name. A new task (`previousName` empty) gets its
// launch parameter string only. A changed one also forgets its last run's
// outcome, which belongs to the settings it ran with; renamed, its old key is
// deleted after the new one is written. Composed before any key is touched,
// so a password that cannot be stored (EScrambleError) leaves nothing behind.
TSaveResult SaveTask(const TTaskRecord& record, const std::string& previousName);

// The designer's time limit for one dump, from the store's value
// "DesignerTimeout" (seconds); the default when it is missing or not a
// valid number of seconds.
unsigned long ReadDesignerTimeoutSeconds();

// The "Servers" value of the store; false, with `servers` unchanged, when it
// cannot be read.
bool ReadServersText(std::string& servers);

// Stores "Servers", creating the store when missing.
bool WriteServersText(const std::string& servers);

}  // namespace ns
