#pragma once
// What the backup worker asks of the program that runs it. The worker runs
// on a thread of its own and knows no window: the connection test and the
// ending of sessions need COM, which lives on the host's thread, and the
// host decides what a changed task list or the end of a run means to it.
#include <string>

#include "platform/ConnectionString.h"
#include "platform/PlatformInfo.h"

namespace ns {

class IWorkerHost {
 public:
  virtual ~IWorkerHost() = default;

  // Opens and closes a connection to the infobase through the platform's
  // COM connector, showing nothing; true when it opened. Returns when done.
  virtual bool TestConnection(const TInfobaseLogon& logon, PlatformVersion version) = 0;

  // Ends the other sessions of the infobase before an exclusive dump, as far
  // as the cluster lets it. Returns when done.
  virtual void EndSessions(const TInfobaseLogon& logon, PlatformVersion version) = 0;

  // A task's status in the run queue or its recorded outcome has changed.
  // Must not wait for the host.
  virtual void TaskListChanged() = 0;

  // Where the running task stands, as one line ("Бухгалтерия: упаковка
  // 37 %"); empty once no task runs. Told at most a few times a second.
  // Must not wait for the host.
  virtual void ShowStage(const std::string& stage) = 0;

  // The worker has finished its run and the queue is empty; it returns
  // right after this. `allSucceeded` is false when a task of the run failed,
  // could not be found, or the run was cut short by an error. Must not wait
  // for the host.
  virtual void RunEnded(bool allSucceeded) = 0;
};

}  // namespace ns
