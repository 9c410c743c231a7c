#include "backup/BackupWorker.h"

#include <string>

#include "backup/DumpCommand.h"
#include "backup/Messages.h"
#include "backup/Packaging.h"
#include "backup/Recording.h"
#include "backup/Rotation.h"
#include "backup/TaskStatus.h"
#include "backup/WorkerLoop.h"
#include "net/Delivery.h"
#include "platform/Addition.h"
#include "platform/ConnectionString.h"
#include "platform/PlatformInfo.h"
#include "tasks/LaunchParameters.h"
#include "tasks/TaskStore.h"

namespace ns {

namespace {

// The designer is started only after these pauses, as it always was: they
// give a connection closed a moment ago time to be released by the platform.
constexpr DWORD PauseBeforeConnectionTestMs = 1000;
constexpr DWORD PauseBeforeDesignerMs = 1000;

// The values of the task being processed; fresh for every task.
struct TTaskRun {
  std::string TaskName;
  std::string TaskKey;
  std::string LaunchParameters;
  TWorkerParameters Parameters;
  std::string DumpFile;
  std::string DesignerLog;
  std::string CommandLine;
  bool Succeeded = false;
  std::string Message;
};

class TWorker {
 public:
  explicit TWorker(const TWorkerContext& context) : context_(context) {}

  void RunTask(const std::string& taskName) {
    TTaskRun run;
    if (Begin(run, taskName)) Process(run);
  }

 private:
  // False when the task's launch parameters cannot be read: the entry is
  // passed over without a trace.
  bool Begin(TTaskRun& run, const std::string& taskName);
  void Process(TTaskRun& run);
  // Checks, connection test, session termination and the designer. Returns
  // with run.Message set when a check failed.
  void Dump(TTaskRun& run);
  void Fail(TTaskRun& run, std::string_view message) {
    run.Succeeded = false;
    run.Message = message;
  }
  void Refresh() { context_.Host->TaskListChanged(); }

  const TWorkerContext& context_;
};

bool TWorker::Begin(TTaskRun& run, const std::string& taskName) {
  run.TaskName = taskName;
  run.TaskKey = TaskKeyPath(taskName);
  if (!ReadLaunchParameters(taskName, run.LaunchParameters)) return false;
  context_.Queue->SetStatus(run.TaskName, StatusRunning);
  Refresh();
  return true;
}

void TWorker::Process(TTaskRun& run) {
  try {
    Dump(run);
  } catch (...) {
    // Recorded like any other failure, with whatever message there was.
    run.Succeeded = false;
  }

  if (run.Succeeded && GetFileAttributesA(run.DumpFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Fail(run, MessageDumpNotCreated);
  }
  if (run.Succeeded && !PackDump(run.Parameters.DumpIB, run.TaskName, run.Parameters.AddName, run.DumpFile)) {
    Fail(run, MessageArchiveNotCreated);
  }
  RecordOutcome(*context_.Queue, run.TaskName, run.TaskKey, run.Succeeded, run.Message, run.DumpFile,
                run.DesignerLog);
  if (run.Parameters.Days > 0 && !run.Parameters.DumpIB.empty()) {
    RotateArchives(run.Parameters.DumpIB, run.TaskName, run.Parameters.AddName, run.Parameters.Days);
  }
  DeliverReport(context_.ServersText->Get(), run.TaskName, run.Message);
  Refresh();
}

void TWorker::Dump(TTaskRun& run) {
  if (!ReadWorkerParameters(run.LaunchParameters, run.Parameters)) {
    Fail(run, MessageBadLaunchParameters);
    return;
  }
  const TWorkerParameters& task = run.Parameters;
  if (!Platform1CInfo.Found(task.Version)) {
    Fail(run, MessagePlatformNotInstalled);
    return;
  }
  run.DumpFile = TempFilePath(run.TaskName + ".dt");
  run.DesignerLog = TempFilePath(run.TaskName + ".log");
  std::string arguments =
      BuildDesignerArguments(task.Base, task.User, task.Password, run.DumpFile, run.DesignerLog);
  if (task.DumpIB.empty()) {
    Fail(run, MessageNoArchiveFolder);
    return;
  }

  Sleep(PauseBeforeConnectionTestMs);
  TInfobaseLogon logon{task.Base, task.User, task.Password};
  if (!context_.Host->TestConnection(logon, task.Version)) {
    Fail(run, MessageConnectionFailed);
    return;
  }
  if (task.Exclusively) context_.Host->EndSessions(logon, task.Version);

  run.CommandLine = DesignerCommandLine(Platform1CInfo.Executable(task.Version), arguments);
  // A dump or log left by a run that was cut off (a power loss, a killed
  // process) must not pass for this run's: a designer that writes nothing
  // would otherwise have yesterday's dump packed as today's.
  DeleteFileA(run.DumpFile.c_str());
  DeleteFileA(run.DesignerLog.c_str());
  Sleep(PauseBeforeDesignerMs);
  switch (RunAndWait(run.CommandLine, true, true, ReadDesignerTimeoutSeconds() * 1000)) {
    case TRunResult::Succeeded:
      run.Succeeded = true;
      break;
    case TRunResult::TimedOut:
      Fail(run, MessageDesignerStopped);
      break;
    case TRunResult::NotStarted:
    case TRunResult::Failed:
      // The designer's own log becomes the report.
      run.Succeeded = false;
      break;
  }
}

}  // namespace

DWORD WINAPI BackupWorker(void* parameter) {
  std::unique_ptr<TWorkerContext> context(static_cast<TWorkerContext*>(parameter));
  TWorker worker(*context);
  WalkRunQueue(*context->Queue, *context->Host,
               [&worker](const std::string& taskName) { worker.RunTask(taskName); });
  return 0;
}

}  // namespace ns
