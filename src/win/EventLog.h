#pragma once
// Writing events to the Windows event log under one event source. The event
// log is a report on the side: nothing here throws, and a write that fails
// only says so, so that no caller can lose its own work to it.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "win/UniqueHandle.h"

namespace ns {

// The kinds of event the program writes; Event Viewer shows each at its level.
enum class TEventType : WORD {
  Information = EVENTLOG_INFORMATION_TYPE,
  Warning = EVENTLOG_WARNING_TYPE,
  Error = EVENTLOG_ERROR_TYPE,
};

// The most characters one string of an event may hold: ReportEvent refuses
// an event with a longer one.
constexpr size_t MaxEventStringLength = 31839;

namespace traits {
struct EventSource {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { ::DeregisterEventSource(h); }
};
}  // namespace traits

// One event source of the local computer's event log, open for the life of
// the object. Windows opens a source that nobody registered as well (the
// Application log takes its events, shown without a message text), so a
// source fails to open only when the event log itself is out of reach.
class TEventSource {
 public:
  // Opens the source `name` (Windows-1251). When it cannot be opened the
  // object stays closed and every Report returns false.
  explicit TEventSource(std::string_view name) noexcept;

  bool IsOpen() const { return static_cast<bool>(handle_); }

  // Writes one event of `type` with the message id `id` and the insertion
  // strings `strings` (Windows-1251, each at most MaxEventStringLength
  // characters). True when the event log took it; false when the source is
  // closed or the write failed, for whatever reason.
  bool Report(TEventType type, DWORD id, const std::vector<std::string>& strings) noexcept;

 private:
  UniqueResource<traits::EventSource> handle_;
};

}  // namespace ns
