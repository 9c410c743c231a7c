#include "backup/Recording.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "backup/LocalClock.h"
#include "backup/Messages.h"
#include "backup/RunLog.h"
#include "backup/TaskStatus.h"
#include "win/RegistryKey.h"

namespace ns {

void RecordOutcome(TRunQueue& queue, const std::string& taskName, const std::string& taskKey, bool succeeded,
                   std::string& message, const std::string& dumpFile, const std::string& designerLog,
                   std::string_view appendedLines) {
  // Opened, never created: a task deleted or renamed while it ran has no key
  // any more, and a key made anew would hold an outcome but no settings, a
  // task that fails every night.
  TRegistryKey key;
  key.Open(HKEY_CURRENT_USER, taskKey, KEY_SET_VALUE);
  if (key.IsOpen()) key.WriteText("StateDateTime", FormatStateDateTime(LocalNow()));
  queue.SetStatus(taskName, succeeded ? StatusDone : StatusFailed);
  if (key.IsOpen()) key.WriteText("State", std::string(succeeded ? StateSucceeded : StateFailed));

  if (message.empty()) {
    std::optional<std::string> log = ReadDesignerLog(designerLog);
    message = log ? *log : std::string(MessageDesignerLeftNoLog);
  }
  if (!appendedLines.empty()) {
    if (!message.empty() && message.compare(message.size() - std::min<size_t>(2, message.size()), 2, "\r\n") != 0) {
      message += "\r\n";
    }
    message += appendedLines;
  }
  if (key.IsOpen()) key.WriteText("Log", message);

  DeleteFileA(dumpFile.c_str());
  DeleteFileA(designerLog.c_str());
}

}  // namespace ns
