#include "backup/RestoreCheck.h"

#include <exception>
#include <optional>
#include <string_view>

#include "backup/DumpCommand.h"
#include "backup/Messages.h"
#include "backup/RunLog.h"
#include "win/FileSpace.h"
#include "win/HiddenProcess.h"
#include "win/TempFolder.h"
#include "win/Win32Error.h"
#include "zip/FileSystem.h"
#include "zip/ZipCheck.h"

namespace ns {

namespace {

constexpr uint64_t Megabyte = 1024 * 1024;

// The check's files in the temporary folder, removed before it begins (a run
// cut off may have left them) and on every way out.
struct TScratch {
  explicit TScratch(const std::string& name)
      : Folder(TempFilePath(name + ".restore")),
        Dump(Folder + ".dt"),
        CreateLog(Folder + ".create.log"),
        RestoreLog(Folder + ".log") {
    Remove();
  }
  ~TScratch() { Remove(); }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;

  void Remove() const {
    RemoveFolderTree(Folder);
    for (const std::string* file : {&Dump, &CreateLog, &RestoreLog}) DeleteFileA(file->c_str());
  }

  const std::string Folder;  // the scratch infobase
  const std::string Dump;
  const std::string CreateLog;
  const std::string RestoreLog;
};

std::string Line(std::string_view text) { return std::string(text) + "\r\n"; }

TRestoreCheckOutcome Failed(const std::string& why) {
  std::string lines = Line(MessageRestoreFailed) + why;
  if (lines.size() < 2 || lines.compare(lines.size() - 2, 2, "\r\n") != 0) lines += "\r\n";
  return {TRestoreVerdict::Failed, lines};
}

// Why the designer's run did not end well, or nothing when it did.
std::optional<std::string> DesignerFault(const std::string& commandLine, DWORD timeLimitMs, const std::string& log,
                                         std::string_view stopped) {
  DWORD startError = 0;
  switch (RunHiddenAndWait(commandLine, timeLimitMs, &startError)) {
    case TRunResult::Succeeded:
      return std::nullopt;
    case TRunResult::NotStarted:
      return Line(MessageDesignerNotStarted) + SystemErrorText(startError);
    case TRunResult::TimedOut:
      return std::string(stopped);
    case TRunResult::Failed:
      break;
  }
  return ReadDesignerLog(log).value_or(std::string(MessageRestoreLeftNoLog));
}

}  // namespace

TRestoreCheckOutcome CheckByRestore(const TRestoreCheckRequest& request) {
  try {
    std::optional<TScratch> scratch;
    {
      TZipChecker checker(SystemFileSystem(), request.Archive);
      const TZipEntry* entry = checker.Find(request.EntryName);
      if (!entry) {
        return Failed(Line(MessageRestoreUnreadable) + request.Archive + ": нет файла " + request.EntryName);
      }
      const uint64_t needed = 2 * entry->uncompressedSize;
      if (needed > request.FreeBytes) {
        return {TRestoreVerdict::Skipped, Line(std::string(MessageRestoreNoRoom) + " (нужно " +
                                               std::to_string((needed + Megabyte - 1) / Megabyte) + " МБ, свободно " +
                                               std::to_string(request.FreeBytes / Megabyte) + " МБ).")};
      }
      scratch.emplace(request.ScratchName);
      // The archive's data is what is proven: a damaged entry fails here,
      // before the designer is started at all.
      if (std::optional<std::string> fault = checker.Extract(*entry, SystemFileSystem(), scratch->Dump)) {
        return Failed(Line(MessageRestoreUnreadable) + request.Archive + ": " + *fault);
      }
    }
    if (auto fault = DesignerFault(CreateInfobaseCommandLine(request.Executable, scratch->Folder, scratch->CreateLog),
                                   request.TimeLimitMs, scratch->CreateLog, MessageRestoreStopped)) {
      return Failed(Line(MessageRestoreNoInfobase) + *fault);
    }
    if (auto fault = DesignerFault(
            RestoreCommandLine(request.Executable, scratch->Folder, scratch->Dump, scratch->RestoreLog),
            request.TimeLimitMs, scratch->RestoreLog, MessageRestoreStopped)) {
      return Failed(*fault);
    }
    return {TRestoreVerdict::Loaded, Line(MessageRestoreLoaded)};
  } catch (const std::exception& error) {
    return Failed(error.what());
  }
}

}  // namespace ns
