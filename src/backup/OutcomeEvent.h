#pragma once
// A run's outcome in the Windows Application log, for administrators whose
// monitoring watches the event log rather than each server's registry. The
// event source and its message texts are registered by the installer; the
// texts live in the program's own message table.
#include <string>
#include <string_view>

namespace ns {

// The event source, and the name of its key under the Application log.
inline constexpr std::string_view OutcomeEventSource = "Nightshelf";

// What a run came to; the value is the event's id. A second copy or a check
// that failed is an error to the administrator as much as a failed dump
// (the run's recorded state is "Ошибка" and the backup is not where it was
// asked to be), so monitoring that watches errors only must see it too; its
// own id tells it apart from a run that left no archive at all.
enum class TOutcomeEvent : unsigned {
  Succeeded = 1,          // information
  Failed = 2,             // error
  CopyOrCheckFailed = 3,  // error
};

// The log as the event carries it: the whole log when it fits into one
// string of an event, otherwise its end (where the run's verdict stands)
// from the start of a line, under a line "…".
std::string OutcomeEventLog(std::string_view log);

// Writes the outcome event of the task `taskName` with its log (both
// Windows-1251) as the two insertion strings, under the source
// OutcomeEventSource. True when the event log took it. Never throws and never
// fails a run: an event log out of reach or an unregistered source costs the
// event at most.
bool WriteOutcomeEvent(TOutcomeEvent kind, const std::string& taskName, const std::string& log) noexcept;

}  // namespace ns
