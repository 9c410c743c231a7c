#pragma once
// Recording a task's outcome at the end of its run: the time, the state and
// the log in the task's registry key, the status in the run queue, and the
// removal of the run's temporary files.
#include <string>
#include <string_view>

#include "backup/RunQueue.h"

namespace ns {

// Writes "StateDateTime" (now, local time), "State" ("Успех" or "Ошибка") and
// "Log" into HKEY_CURRENT_USER\`taskKey`, and sets the queue status of
// `taskName` to "Выполнено" or "Ошибка". The log is `message` when there is
// one; otherwise the designer's `designerLog` file rebuilt with CR LF line
// ends, or, when it cannot be read, a message that the designer left no log
// (never the previous run's log, which may tell of a success), followed by
// `appendedLines` (the restore check's) on lines of their own; the log
// becomes `message` too. Finally deletes `dumpFile` and `designerLog`.
// The task's key is opened, never created: a task deleted during its run
// records nothing. Registry and deletion failures are ignored.
void RecordOutcome(TRunQueue& queue, const std::string& taskName, const std::string& taskKey, bool succeeded,
                   std::string& message, const std::string& dumpFile, const std::string& designerLog,
                   std::string_view appendedLines = {});

}  // namespace ns
