#include "backup/TaskLock.h"

#include "win/TempFolder.h"

namespace ns {

std::string TaskLockPath(const std::string& taskName) { return TempFilePath(taskName + ".lock"); }

namespace {

// A lock file whose holder has just closed it is on its way out, and the
// system refuses to open it meanwhile (as it refuses a folder that cannot be
// written): a moment later it is gone.
constexpr int DeletePendingTries = 20;
constexpr DWORD DeletePendingPauseMs = 50;

}  // namespace

bool IsTaskLockHeld(const std::string& taskName) {
  // Opened with every sharing, so that the look keeps no runner from
  // taking the lock; only a holder's refusal to share says it is held.
  UniqueFile file(CreateFileA(TaskLockPath(taskName).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

TTaskLock::TResult TTaskLock::Take(const std::string& taskName) {
  std::string path = TaskLockPath(taskName);
  for (int attempt = 0;; ++attempt) {
    file_.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (file_) return TResult::Taken;
    DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return TResult::HeldElsewhere;
    if (error != ERROR_ACCESS_DENIED || attempt + 1 >= DeletePendingTries) return TResult::Failed;
    Sleep(DeletePendingPauseMs);
  }
}

}  // namespace ns
