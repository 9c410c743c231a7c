#include "backup/BackupWorker.h"

#include <exception>
#include <string>
#include <utility>

#include "backup/ArchiveNaming.h"
#include "backup/DumpCommand.h"
#include "backup/LocalClock.h"
#include "backup/Messages.h"
#include "backup/Packaging.h"
#include "backup/Recording.h"
#include "backup/Rotation.h"
#include "backup/TaskLock.h"
#include "backup/TaskStatus.h"
#include "backup/WorkerLoop.h"
#include "base/Exception.h"
#include "net/Delivery.h"
#include "platform/Addition.h"
#include "platform/ConnectionString.h"
#include "platform/PlatformInfo.h"
#include "tasks/LaunchParameters.h"
#include "tasks/TaskName.h"
#include "tasks/TaskStore.h"
#include "win/Win32Error.h"
#include "zip/ZipWriter.h"

namespace ns {

namespace {

// The designer is started only after these pauses, as it always was: they
// give a connection closed a moment ago time to be released by the platform.
constexpr DWORD PauseBeforeConnectionTestMs = 1000;
constexpr DWORD PauseBeforeDesignerMs = 1000;
// The longest path the system's ANSI file functions take, and so the
// longest one the designer gets.
constexpr size_t MaxPathLength = MAX_PATH - 1;

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
  TTaskLock Lock;
};

// A designer that ends well after writing an empty file, or none, has not
// dumped the infobase.
bool HoldsDump(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
         (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && (data.nFileSizeHigh | data.nFileSizeLow) != 0;
}

// Empty when the file is gone or was never there; else the system's reason.
std::string DeleteStaleFile(const std::string& path) {
  if (DeleteFileA(path.c_str())) return {};
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return {};
  std::string text = SystemErrorText(error);
  return text.empty() ? SystemErrorCodeLine(error) : text;
}

class TWorker {
 public:
  explicit TWorker(const TWorkerContext& context) : context_(context) {}

  // False when the task failed or could not be found.
  bool RunTask(const std::string& queuedName) {
    TTaskRun run;
    if (!Begin(run, queuedName)) return false;
    Process(run);
    return run.Succeeded;
  }

 private:
  // False when the task's launch parameters cannot be read: the entry is
  // passed over without a trace.
  bool Begin(TTaskRun& run, const std::string& queuedName);
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

bool TWorker::Begin(TTaskRun& run, const std::string& queuedName) {
  // The name as typed on a command line may differ in letter case from the
  // key; the dump, its archive entry and the archive take the key's spelling,
  // so that both spellings land in one entry and rotate together.
  run.TaskName = StoredTaskName(queuedName);
  if (run.TaskName.empty()) return false;
  run.TaskKey = TaskKeyPath(run.TaskName);
  if (!ReadLaunchParameters(run.TaskName, run.LaunchParameters)) return false;
  // The queue ignores letter case: this is the queued entry.
  context_.Queue->SetStatus(run.TaskName, StatusRunning);
  Refresh();
  return true;
}

void TWorker::Process(TTaskRun& run) {
  // Before anything of the task is touched: its temporary files, its
  // infobase's sessions, its recorded outcome and its archives belong to
  // whoever holds the task.
  if (run.Lock.Take(run.TaskName) == TTaskLock::TResult::HeldElsewhere) {
    Fail(run, MessageRunningElsewhere);
    context_.Queue->SetStatus(run.TaskName, StatusElsewhere);
    DeliverReport(context_.ServersText->Get(), run.TaskName, run.Message);
    Refresh();
    return;
  }
  try {
    Dump(run);
  } catch (const Exception& error) {
    // The program's own errors speak for themselves (a stored password
    // that does not decode, say).
    Fail(run, error.what());
  } catch (const std::exception& error) {
    Fail(run, std::string(MessageProgramError) + error.what());
  }

  if (run.Succeeded && !HoldsDump(run.DumpFile)) Fail(run, MessageDumpNotCreated);
  // A dump that did not reach the archive is the only copy of this backup:
  // it stays in the temporary folder until the task runs again.
  bool dumpKept = false;
  if (run.Succeeded) {
    TPackOutcome packing = PackDump(run.Parameters.DumpIB, run.TaskName, run.Parameters.AddName, run.DumpFile);
    if (!packing.Packed) {
      Fail(run, std::string(MessageArchiveNotCreated) + "\r\n" + packing.Failure);
      dumpKept = true;
    }
  }
  RecordOutcome(*context_.Queue, run.TaskName, run.TaskKey, run.Succeeded, run.Message,
                dumpKept ? std::string() : run.DumpFile, run.DesignerLog);
  if (run.Parameters.Days > 0 && !run.Parameters.DumpIB.empty()) {
    RotateArchives(run.Parameters.DumpIB, run.TaskName, run.Parameters.AddName, run.Parameters.Days);
  }
  run.Lock.Release();
  DeliverReport(context_.ServersText->Get(), run.TaskName, run.Message);
  Refresh();
}

void TWorker::Dump(TTaskRun& run) {
  // A name typed into the registry by hand that no file can carry: said at
  // once, rather than by the designer after the connection test.
  if (std::string fault = TaskNameFault(run.TaskName); !fault.empty()) {
    Fail(run, fault);
    return;
  }
  // A value typed with a "/" was cut there; run with what is left, a
  // folder "D:/Backup" would send the archives, and their rotation, to D:\.
  if (std::string cut = CutValueFragment(run.LaunchParameters); !cut.empty()) {
    Fail(run, std::string(MessageBadLaunchParameters) + "\r\n" + std::string(MessageValueCut) + cut);
    return;
  }
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
  // A longer path would be cut short on its way, and the files written
  // somewhere else. The archive's writer makes names a little longer still
  // beside it. Known before the dump, so no hour is spent on it in vain.
  const std::pair<std::string, size_t> paths[] = {
      {run.DumpFile, 0},
      {run.DesignerLog, 0},
      {ArchiveFileName(task.DumpIB, LocalNow().Date, run.TaskName, task.AddName), ZipWriter::kLongestSuffix},
  };
  for (const auto& [path, room] : paths) {
    if (path.size() + room > MaxPathLength) {
      Fail(run, std::string(MessagePathTooLong) + "\r\n" + path);
      return;
    }
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
  // would otherwise have yesterday's dump packed as today's. One that cannot
  // be deleted (held open, read-only) stops the task.
  for (const std::string& stale : {run.DumpFile, run.DesignerLog}) {
    std::string reason = DeleteStaleFile(stale);
    if (!reason.empty()) {
      Fail(run, std::string(MessageStaleFileNotDeleted) + "\r\n" + stale + "\r\n" + reason);
      return;
    }
  }
  Sleep(PauseBeforeDesignerMs);
  DWORD startError = 0;
  switch (RunAndWait(run.CommandLine, true, true, ReadDesignerTimeoutSeconds() * 1000, &startError)) {
    case TRunResult::Succeeded:
      run.Succeeded = true;
      break;
    case TRunResult::TimedOut:
      Fail(run, MessageDesignerStopped);
      break;
    case TRunResult::NotStarted:
      // A command line too long for Windows, a designer removed since the
      // platform was found: the system's reason is all there is to report.
      Fail(run, std::string(MessageDesignerNotStarted) + "\r\n" + SystemErrorText(startError));
      break;
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
               [&worker](const std::string& taskName) { return worker.RunTask(taskName); });
  return 0;
}

}  // namespace ns
