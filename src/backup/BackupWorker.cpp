#include "backup/BackupWorker.h"

#include <string>

#include "app/TaskStatus.h"
#include "app/WindowMessages.h"
#include "backup/DumpCommand.h"
#include "backup/Messages.h"
#include "backup/Packaging.h"
#include "backup/Recording.h"
#include "backup/Rotation.h"
#include "net/Delivery.h"
#include "platform/Addition.h"
#include "platform/ConnectionString.h"
#include "platform/PlatformInfo.h"
#include "platform/Registry.h"
#include "tasks/LaunchParameters.h"
#include "tasks/TaskStore.h"

namespace ns {

namespace {

// The designer is started only after these pauses, as it always was: they
// give a connection closed a moment ago time to be released by the platform.
constexpr DWORD PauseBeforeConnectionTestMs = 1000;
constexpr DWORD PauseBeforeDesignerMs = 1000;

// A longer limit than a week is surely a typing error; it also keeps the
// milliseconds within a DWORD.
constexpr unsigned long MaxDesignerTimeoutSeconds = 7 * 24 * 60 * 60;

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

  void Run();

 private:
  // Steps 1-2: false when the task's launch parameters cannot be read.
  bool Begin(TTaskRun& run, const std::string& taskName);
  void Process(TTaskRun& run);
  // Checks, connection test, session termination and the designer. Returns
  // with run.Message set when a check failed.
  void Dump(TTaskRun& run);
  void Fail(TTaskRun& run, std::string_view message) {
    run.Succeeded = false;
    run.Message = message;
  }
  void Refresh() { PostMessageA(context_.MainWindow, WM_REFRESH_TASKS, 0, 0); }
  DWORD DesignerTimeoutMs() const;

  const TWorkerContext& context_;
};

void TWorker::Run() {
  TRunQueue& queue = *context_.Queue;
  size_t index = 0;
  try {
    do {
      // The count is read again before every entry: tasks handed over
      // meanwhile are run in the same pass.
      for (; index < queue.Count(); ++index) {
        TTaskRun run;
        if (Begin(run, queue.NameAt(index))) Process(run);
      }
    } while (!queue.FinishRunUnlessQueued(index));
  } catch (...) {
    // An unexpected error ends the pass; what was not reached is dropped
    // with the queue.
    while (!queue.FinishRunUnlessQueued(queue.Count())) {
    }
  }
  // The run is over and the queue empty; a hidden instance has nothing more
  // to do. (The close handling keeps the program alive if a task is handed
  // over from now on.)
  if (!IsWindowVisible(context_.MainWindow)) PostMessageA(context_.ApplicationWindow, WM_CLOSE, 0, 0);
}

bool TWorker::Begin(TTaskRun& run, const std::string& taskName) {
  run.TaskName = taskName;
  run.TaskKey = TaskKeyPath(taskName);
  if (!ReadRegistryString(HKEY_CURRENT_USER, run.TaskKey, "", run.LaunchParameters)) return false;
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
  std::string connection = BuildConnectionString(task.Base, task.User, task.Password);
  if (SendMessageA(context_.MainWindow, WM_TEST_CONNECTION, task.Version,
                   reinterpret_cast<LPARAM>(connection.c_str())) == 0) {
    Fail(run, MessageConnectionFailed);
    return;
  }
  if (task.Exclusively) {
    SendMessageA(context_.MainWindow, WM_END_SESSIONS, task.Version,
                 reinterpret_cast<LPARAM>(connection.c_str()));
  }

  run.CommandLine = DesignerCommandLine(Platform1CInfo.Executable(task.Version), arguments);
  // A dump or log left by a run that was cut off (a power loss, a killed
  // process) must not pass for this run's: a designer that writes nothing
  // would otherwise have yesterday's dump packed as today's.
  DeleteFileA(run.DumpFile.c_str());
  DeleteFileA(run.DesignerLog.c_str());
  Sleep(PauseBeforeDesignerMs);
  switch (RunAndWait(run.CommandLine, true, true, DesignerTimeoutMs())) {
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

DWORD TWorker::DesignerTimeoutMs() const {
  std::string text;
  DWORD seconds = DefaultDesignerTimeoutSeconds;
  if (ReadRegistryString(HKEY_CURRENT_USER, TaskStoreKeyPath, "DesignerTimeout", text)) {
    try {
      unsigned long value = std::stoul(text);
      if (value > 0 && value <= MaxDesignerTimeoutSeconds) seconds = static_cast<DWORD>(value);
    } catch (const std::exception&) {
      // Not a number: the default stands.
    }
  }
  return seconds * 1000;
}

}  // namespace

DWORD WINAPI BackupWorker(void* parameter) {
  std::unique_ptr<TWorkerContext> context(static_cast<TWorkerContext*>(parameter));
  TWorker(*context).Run();
  return 0;
}

}  // namespace ns
