#include "backup/Recording.h"

#include <windows.h>

#include <exception>
#include <optional>

#include "backup/LocalClock.h"
#include "backup/Messages.h"
#include "backup/RunLog.h"
#include "backup/TaskStatus.h"
#include "win/RegistryKey.h"
#include "zip/FileSystem.h"

namespace ns {

namespace {

// The whole file as bytes; empty optional when it cannot be opened or read,
// for instance because the designer never started and never wrote it, or
// still holds it open for writing.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  try {
    std::unique_ptr<TFile> file = SystemFileSystem().OpenRead(path);
    std::string bytes;
    uint8_t buffer[65536];
    while (size_t got = file->Read(buffer, sizeof buffer)) bytes.append(reinterpret_cast<char*>(buffer), got);
    return bytes;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

void RecordOutcome(TRunQueue& queue, const std::string& taskName, const std::string& taskKey, bool succeeded,
                   std::string& message, const std::string& dumpFile, const std::string& designerLog) {
  // Opened, never created: a task deleted or renamed while it ran has no key
  // any more, and a key made anew would hold an outcome but no settings, a
  // task that fails every night.
  TRegistryKey key;
  key.Open(HKEY_CURRENT_USER, taskKey, KEY_SET_VALUE);
  if (key.IsOpen()) key.WriteText("StateDateTime", FormatStateDateTime(LocalNow()));
  queue.SetStatus(taskName, succeeded ? StatusDone : StatusFailed);
  if (key.IsOpen()) key.WriteText("State", std::string(succeeded ? StateSucceeded : StateFailed));

  if (message.empty()) {
    std::optional<std::string> bytes = ReadWholeFile(designerLog);
    message = bytes ? RebuildLogText(*bytes) : std::string(MessageDesignerLeftNoLog);
  }
  if (key.IsOpen()) key.WriteText("Log", message);

  DeleteFileA(dumpFile.c_str());
  DeleteFileA(designerLog.c_str());
}

}  // namespace ns
