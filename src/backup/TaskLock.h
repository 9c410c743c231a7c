#pragma once
// One runner per task. The instance mutex and the hand-over live in the
// user's logon session, so a scheduled run in one session and an
// administrator's window in another are two first instances; both would use
// the task's registry key and the same dump and log in the temporary folder,
// and each would delete or pack the other's half-written dump.
//
// The lock is a file beside the dump, <task>.lock in the temporary folder,
// opened with no sharing and deleted when closed: the system releases it
// when its holder ends in any way, and it is seen from every session of the
// user. A worker holds it from before it touches the task's files until the
// outcome is recorded and the archives are pruned.
#include <windows.h>

#include <string>

#include "win/UniqueHandle.h"

namespace ns {

std::string TaskLockPath(const std::string& taskName);

// Whether a runner holds the task's lock now, seen from outside: for the
// task list, which shows a task another instance runs.
bool IsTaskLockHeld(const std::string& taskName);

class TTaskLock {
 public:
  enum class TResult {
    Taken,
    // Another runner holds the task: leave its files and outcome alone.
    HeldElsewhere,
    // The file could not be made (a temporary folder that cannot be
    // written, a path too long): the task's own files fail the same way.
    Failed
  };

  TResult Take(const std::string& taskName);
  bool IsHeld() const { return static_cast<bool>(file_); }
  void Release() { file_.reset(); }

 private:
  UniqueFile file_;
};

}  // namespace ns
