#include "backup/BackupWorker.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "backup/ArchiveCopy.h"
#include "backup/ArchiveNaming.h"
#include "backup/DumpCommand.h"
#include "backup/LocalClock.h"
#include "backup/Messages.h"
#include "backup/OutcomeEvent.h"
#include "backup/Packaging.h"
#include "backup/Recording.h"
#include "backup/RestoreCheck.h"
#include "backup/RunStage.h"
#include "backup/Rotation.h"
#include "backup/TaskLock.h"
#include "backup/TaskStatus.h"
#include "backup/WorkerLoop.h"
#include "base/Exception.h"
#include "net/Delivery.h"
#include "platform/ConnectionString.h"
#include "platform/PlatformInfo.h"
#include "tasks/LaunchParameters.h"
#include "tasks/TaskName.h"
#include "tasks/TaskStore.h"
#include "win/FileSpace.h"
#include "win/HiddenProcess.h"
#include "win/TempFolder.h"
#include "win/Win32Error.h"
#include "zip/ZipWriter.h"

namespace ns {

namespace {

// A connection closed a moment ago (the test's, or a session just ended) is
// released by the platform only after a while; the next step waits for it.
constexpr DWORD PauseBeforeConnectionTestMs = 1000;
constexpr DWORD PauseBeforeDesignerMs = 1000;
// The longest path the system's ANSI file functions take, and so the
// longest one the designer gets.
constexpr size_t MaxPathLength = MAX_PATH - 1;

// The task being processed; fresh for every task.
struct TTaskRun {
  TStoredTask Stored;
  const TTaskRecord& Task() const { return Stored.Record; }
  const std::string& LaunchParameters() const { return *Stored.LaunchParameters; }
  std::string TaskKey;
  std::string DumpFile;
  std::string DesignerLog;
  bool Succeeded = false;
  std::string Message;
  // Set once the dump is packed.
  std::string Archive;
  // A dump that did not reach the archive is the only copy of this backup:
  // it stays in the temporary folder until the task runs again.
  bool KeepDump = false;
  // What the restore check and the second copy add to the log.
  std::string AddedLines;
  // Told to the host as the run goes on; cleared when it goes.
  std::unique_ptr<TRunStage> Stage;
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
  // False when the task or its launch parameters cannot be read: the entry
  // is passed over without a trace.
  bool Begin(TTaskRun& run, const std::string& queuedName);
  void Process(TTaskRun& run);
  // The steps up to the dump. Each returns false with the run failed when
  // the task cannot go on.
  bool Dump(TTaskRun& run);
  bool CheckSettings(TTaskRun& run);
  bool CheckPathLengths(TTaskRun& run);
  bool PrepareInfobase(TTaskRun& run);
  bool DeleteStaleFiles(TTaskRun& run);
  bool RunDesigner(TTaskRun& run);
  void Pack(TTaskRun& run);
  void ProveByRestore(TTaskRun& run);
  void CopyToSecondFolder(TTaskRun& run);

  bool Fail(TTaskRun& run, std::string_view message) {
    run.Succeeded = false;
    run.Message = message;
    return false;
  }
  void Refresh() { context_.Host->TaskListChanged(); }

  const TWorkerContext& context_;
};

bool TWorker::Begin(TTaskRun& run, const std::string& queuedName) {
  // The name as typed on a command line may differ in letter case from the
  // key; the dump, its archive entry and the archive take the key's spelling,
  // so that both spellings land in one entry and rotate together.
  std::string name = StoredTaskName(queuedName);
  if (name.empty()) return false;
  std::optional<TStoredTask> stored = LoadTask(name);
  if (!stored || !stored->LaunchParameters) return false;
  run.Stored = std::move(*stored);
  run.TaskKey = TaskKeyPath(name);
  // The queue ignores letter case: this is the queued entry.
  context_.Queue->SetStatus(name, StatusRunning);
  Refresh();
  return true;
}

void TWorker::Process(TTaskRun& run) {
  const TTaskRecord& task = run.Task();
  // Before anything of the task is touched: its temporary files, its
  // infobase's sessions, its recorded outcome and its archives belong to
  // whoever holds the task.
  if (run.Lock.Take(task.Name) == TTaskLock::TResult::HeldElsewhere) {
    Fail(run, MessageRunningElsewhere);
    context_.Queue->SetStatus(task.Name, StatusElsewhere);
    DeliverReport(context_.ServersText->Get(), task.Name, run.Message);
    Refresh();
    return;
  }
  run.Stage = std::make_unique<TRunStage>(*context_.Host, task.Name);
  try {
    Dump(run);
  } catch (const Exception& error) {
    // The program's own errors speak for themselves.
    Fail(run, error.what());
  } catch (const std::exception& error) {
    Fail(run, std::string(MessageProgramError) + error.what());
  }
  if (run.Succeeded && !HoldsDump(run.DumpFile)) Fail(run, MessageDumpNotCreated);
  Pack(run);
  ProveByRestore(run);
  CopyToSecondFolder(run);
  RecordOutcome(*context_.Queue, task.Name, run.TaskKey, run.Succeeded, run.Message,
                run.KeepDump ? std::string() : run.DumpFile, run.DesignerLog, run.AddedLines);
  if (task.Days > 0 && !task.DumpIB.empty()) RotateArchives(task.DumpIB, task.Name, task.AddName, task.Days);
  run.Stage.reset();
  run.Lock.Release();
  DeliverReport(context_.ServersText->Get(), task.Name, run.Message);
  // A packed archive whose restore check or copy failed is told apart from a
  // night without a backup.
  TOutcomeEvent event = run.Succeeded            ? TOutcomeEvent::Succeeded
                        : !run.Archive.empty() ? TOutcomeEvent::CopyOrCheckFailed
                                                 : TOutcomeEvent::Failed;
  WriteOutcomeEvent(event, task.Name, run.Message);
  Refresh();
}

bool TWorker::Dump(TTaskRun& run) {
  run.Stage->Dumping();
  return CheckSettings(run) && CheckPathLengths(run) && PrepareInfobase(run) && DeleteStaleFiles(run) &&
         RunDesigner(run);
}

bool TWorker::CheckSettings(TTaskRun& run) {
  const TTaskRecord& task = run.Task();
  // A name typed into the registry by hand that no file can carry: said at
  // once, rather than by the designer after the connection test.
  if (std::string fault = TaskNameFault(task.Name); !fault.empty()) return Fail(run, fault);
  // A value typed with a "/" was cut there; run with what is left, a
  // folder "D:/Backup" would send the archives, and their rotation, to D:\.
  if (std::string cut = CutValueFragment(run.LaunchParameters()); !cut.empty()) {
    return Fail(run, std::string(MessageBadLaunchParameters) + "\r\n" + std::string(MessageValueCut) + cut);
  }
  if (!NamesInfobase(run.LaunchParameters())) return Fail(run, MessageBadLaunchParameters);
  // A stored password that does not decode would log on as somebody else.
  if (!run.Stored.PasswordError.empty()) return Fail(run, run.Stored.PasswordError);
  if (!InstalledPlatforms.Found(task.Version)) return Fail(run, MessagePlatformNotInstalled);
  run.DumpFile = TempFilePath(task.Name + ".dt");
  run.DesignerLog = TempFilePath(task.Name + ".log");
  if (task.DumpIB.empty()) return Fail(run, MessageNoArchiveFolder);
  return true;
}

bool TWorker::CheckPathLengths(TTaskRun& run) {
  const TTaskRecord& task = run.Task();
  // A longer path would be cut short on its way, and the files written
  // somewhere else. The archive's writer makes names a little longer still
  // beside it. Known before the dump, so no hour is spent on it in vain.
  const std::pair<std::string, size_t> paths[] = {
      {run.DumpFile, 0},
      {run.DesignerLog, 0},
      {ArchiveFileName(task.DumpIB, LocalNow().Date, task.Name, task.AddName), ZipWriter::kLongestSuffix},
  };
  for (const auto& [path, room] : paths) {
    if (path.size() + room > MaxPathLength) return Fail(run, std::string(MessagePathTooLong) + "\r\n" + path);
  }
  return true;
}

bool TWorker::PrepareInfobase(TTaskRun& run) {
  const TTaskRecord& task = run.Task();
  Sleep(PauseBeforeConnectionTestMs);
  TInfobaseLogon logon{task.Base, task.User, task.Password};
  if (!context_.Host->TestConnection(logon, task.Version)) return Fail(run, MessageConnectionFailed);
  if (task.Exclusively) context_.Host->EndSessions(logon, task.Version);
  return true;
}

bool TWorker::DeleteStaleFiles(TTaskRun& run) {
  // A dump or log left by a run that was cut off (a power loss, a killed
  // process) must not pass for this run's: a designer that writes nothing
  // would otherwise have yesterday's dump packed as today's. One that cannot
  // be deleted (held open, read-only) stops the task.
  for (const std::string& stale : {run.DumpFile, run.DesignerLog}) {
    std::string reason = DeleteStaleFile(stale);
    if (!reason.empty()) {
      return Fail(run, std::string(MessageStaleFileNotDeleted) + "\r\n" + stale + "\r\n" + reason);
    }
  }
  return true;
}

bool TWorker::RunDesigner(TTaskRun& run) {
  const TTaskRecord& task = run.Task();
  std::string commandLine =
      DesignerCommandLine(InstalledPlatforms.Executable(task.Version),
                          BuildDesignerArguments(task.Base, task.User, task.Password, run.DumpFile, run.DesignerLog));
  Sleep(PauseBeforeDesignerMs);
  DWORD startError = 0;
  switch (RunHiddenAndWait(commandLine, ReadDesignerTimeoutSeconds() * 1000, &startError)) {
    case TRunResult::Succeeded:
      run.Succeeded = true;
      return true;
    case TRunResult::TimedOut:
      return Fail(run, MessageDesignerStopped);
    case TRunResult::NotStarted:
      // A command line too long for Windows, a designer removed since the
      // platform was found: the system's reason is all there is to report.
      return Fail(run, std::string(MessageDesignerNotStarted) + "\r\n" + SystemErrorText(startError));
    case TRunResult::Failed:
      // The designer's own log becomes the report.
      run.Succeeded = false;
      return false;
  }
  return false;
}

void TWorker::Pack(TTaskRun& run) {
  if (!run.Succeeded) return;
  const TTaskRecord& task = run.Task();
  TPackingProgress progress(SystemFileSystem(), *run.Stage, run.DumpFile);
  TPackOutcome packing = PackDump(task.DumpIB, task.Name, task.AddName, run.DumpFile, LocalNow().Date, progress);
  if (packing.Packed) {
    run.Archive = packing.Archive;
    return;
  }
  Fail(run, std::string(MessageArchiveNotCreated) + "\r\n" + packing.Failure);
  run.KeepDump = true;
}

void TWorker::ProveByRestore(TTaskRun& run) {
  const TTaskRecord& task = run.Task();
  if (!run.Succeeded || !IsRestoreCheckDue(task.RestoreCheck, IsoWeekday(LocalNow().Date))) return;
  run.Stage->CheckingByRestore();
  TRestoreCheckRequest request;
  request.Executable = InstalledPlatforms.Executable(task.Version);
  request.Archive = run.Archive;
  request.EntryName = task.Name + ".dt";
  request.ScratchName = task.Name;
  request.TimeLimitMs = ReadDesignerTimeoutSeconds() * 1000;
  request.FreeBytes = FreeBytesAt(TempFilePath("")).value_or(0);
  TRestoreCheckOutcome outcome = CheckByRestore(request);
  run.AddedLines += outcome.Lines;
  // The archive and its entry stay: a dump the platform cannot load is
  // still the night's only dump.
  if (outcome.Verdict == TRestoreVerdict::Failed) run.Succeeded = false;
}

void TWorker::CopyToSecondFolder(TTaskRun& run) {
  const TTaskRecord& task = run.Task();
  // A dump that did not reach the archive has no archive to copy; one that
  // did is copied even when its restore check failed: it is the night's dump.
  if (run.Archive.empty() || task.CopyFolder.empty()) return;
  run.Stage->Copying();
  std::optional<std::string> failure = CopyArchive(SystemFileSystem(), run.Archive, task.CopyFolder, task.Name + ".dt");
  if (!failure) {
    if (task.Days > 0) RotateArchives(task.CopyFolder, task.Name, task.AddName, task.Days);
    return;
  }
  run.Succeeded = false;
  run.AddedLines += std::string(MessageCopyFailed) + task.CopyFolder + ":\r\n" + *failure + "\r\n" +
                    std::string(MessagePrimaryArchiveSound) + run.Archive + "\r\n";
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
