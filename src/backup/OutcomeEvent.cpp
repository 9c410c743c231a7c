#include "backup/OutcomeEvent.h"

#include "win/EventLog.h"

namespace ns {

namespace {

// Stands for the part of a long log that the event leaves out.
constexpr std::string_view CutMark = "…\r\n";

TEventType TypeOf(TOutcomeEvent kind) {
  return kind == TOutcomeEvent::Succeeded ? TEventType::Information : TEventType::Error;
}

}  // namespace

std::string OutcomeEventLog(std::string_view log) {
  // Windows-1251 has one byte for each character, so the limit in
  // characters is the limit in bytes.
  if (log.size() <= MaxEventStringLength) return std::string(log);
  std::string_view end = log.substr(log.size() - (MaxEventStringLength - CutMark.size()));
  size_t lineEnd = end.find('\n');
  if (lineEnd != std::string_view::npos) end.remove_prefix(lineEnd + 1);
  std::string text(CutMark);
  text += end;
  return text;
}

bool WriteOutcomeEvent(TOutcomeEvent kind, const std::string& taskName, const std::string& log) noexcept {
  try {
    TEventSource source(OutcomeEventSource);
    // A task's name is short (the editor and the registry key bound it), but
    // one from a hand-edited registry is cut rather than lose the event.
    return source.Report(TypeOf(kind), static_cast<DWORD>(kind),
                         {taskName.substr(0, MaxEventStringLength), OutcomeEventLog(log)});
  } catch (...) {
    return false;
  }
}

}  // namespace ns
