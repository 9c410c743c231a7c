#include "backup/Recording.h"

#include <windows.h>

#include <optional>

#include "app/TaskStatus.h"
#include "backup/LocalClock.h"
#include "backup/RunLog.h"
#include "platform/Registry.h"
#include "win/UniqueHandle.h"

namespace ns {

namespace {

// The whole file as bytes; empty optional when it cannot be opened or read,
// for instance because the designer never started and never wrote it, or
// still holds it open for writing.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, got);
  }
}

}  // namespace

void RecordOutcome(TRunQueue& queue, const std::string& taskName, const std::string& taskKey, bool succeeded,
                   std::string& message, const std::string& dumpFile, const std::string& designerLog) {
  WriteRegistryString(HKEY_CURRENT_USER, taskKey, "StateDateTime", FormatStateDateTime(LocalNow()));
  queue.SetStatus(taskName, succeeded ? StatusDone : StatusFailed);
  WriteRegistryString(HKEY_CURRENT_USER, taskKey, "State", std::string(succeeded ? StateSucceeded : StateFailed));

  if (message.empty()) {
    if (std::optional<std::string> bytes = ReadWholeFile(designerLog)) {
      std::string text = RebuildLogText(*bytes);
      WriteRegistryString(HKEY_CURRENT_USER, taskKey, "Log", text);
      message = std::move(text);
    }
  } else {
    WriteRegistryString(HKEY_CURRENT_USER, taskKey, "Log", message);
  }

  DeleteFileA(dumpFile.c_str());
  DeleteFileA(designerLog.c_str());
}

}  // namespace ns
