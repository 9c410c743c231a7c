// The outcome events of runs: the texts Event Viewer shows for them, the log
// an event carries, and writing with no event source registered. What the
// events hold is checked in Wine's trace of them (test_eventlog_trace.py).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "backup/OutcomeEvent.h"
#include "win/EventLog.h"

namespace ns {
namespace {

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\') + 1);
}

// The message `id` of the module's message table with %1 and %2 filled in,
// as Event Viewer formats an event; none when the table has no such message.
std::optional<std::wstring> Message(HMODULE module, DWORD id, LANGID language, const wchar_t* first,
                                    const wchar_t* second) {
  DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(first), reinterpret_cast<DWORD_PTR>(second)};
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, module, id,
      language, reinterpret_cast<wchar_t*>(&text), 0, reinterpret_cast<va_list*>(inserts));
  if (length == 0) return std::nullopt;
  std::wstring message(text, length);
  LocalFree(text);
  return message;
}

// The installer names Nightshelf.exe as the source's message file: each
// outcome's id finds its text there, in Russian and by the system's own
// choice of language, with the task's name and its log put in.
TEST(OutcomeEvent, NightshelfExeHoldsTheTextOfEachOutcome) {
  std::string exe = ProgramFolder() + "Nightshelf.exe";
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << exe;
  const wchar_t* name = L"Бухгалтерия";
  const wchar_t* log = L"Выгрузка завершена\r\nАрхив проверен 100 %";
  const std::pair<TOutcomeEvent, std::wstring> cases[] = {
      {TOutcomeEvent::Succeeded, L"Задание «Бухгалтерия»: резервное копирование выполнено."},
      {TOutcomeEvent::Failed, L"Задание «Бухгалтерия»: резервное копирование не выполнено."},
      {TOutcomeEvent::CopyOrCheckFailed,
       L"Задание «Бухгалтерия»: архив создан, но копирование архива или его проверка завершились ошибкой."},
  };
  for (const auto& [kind, headline] : cases) {
    SCOPED_TRACE(static_cast<unsigned>(kind));
    for (LANGID language : {LANGID(0), LANGID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT))}) {
      EXPECT_EQ(Message(module, static_cast<DWORD>(kind), language, name, log),
                headline + L"\r\n\r\n" + log);
    }
  }
  // Nothing else is in the table: an id the program never writes has no text.
  for (DWORD id : {0u, 4u}) EXPECT_EQ(Message(module, id, 0, name, log), std::nullopt) << id;
  FreeLibrary(module);
}

// A log longer than one string of an event keeps its end, where the run's
// verdict stands, from the start of a line, under a line "…".
TEST(OutcomeEvent, ALogTooLongForAnEventKeepsItsEnd) {
  const std::string line = "Обработка объекта Справочник.Номенклатура\r\n";  // 43 characters
  const std::string verdict = "Ошибка создания архива.\r\n";
  std::string longLog;
  while (longLog.size() < 2 * MaxEventStringLength) longLog += line;
  longLog += verdict;

  for (const std::string& log : {std::string(), verdict, std::string(MaxEventStringLength, 'x')}) {
    EXPECT_EQ(OutcomeEventLog(log), log) << log.size();
  }

  std::string kept = OutcomeEventLog(longLog);
  EXPECT_LE(kept.size(), MaxEventStringLength);
  EXPECT_GT(kept.size(), MaxEventStringLength - line.size());
  ASSERT_EQ(kept.substr(0, 3), "…\r\n");
  std::string end = kept.substr(3);
  EXPECT_EQ(end.substr(0, line.size()), line);
  EXPECT_EQ(longLog.substr(longLog.size() - end.size()), end);

  // One line with no line break at all is cut where the room ends.
  std::string oneLine(MaxEventStringLength + 100, 'y');
  oneLine += 'z';
  kept = OutcomeEventLog(oneLine);
  EXPECT_EQ(kept.size(), MaxEventStringLength);
  EXPECT_EQ(kept.substr(0, 3), "…\r\n");
  EXPECT_EQ(kept.back(), 'z');
}

// This machine has no source "Nightshelf" registered, as a program copied
// without its installer: every outcome is written still, a log of any size
// included, and nothing is thrown.
TEST(OutcomeEvent, IsWrittenWithNoSourceRegistered) {
  HKEY key = nullptr;
  ASSERT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Nightshelf",
                          0, KEY_READ, &key),
            ERROR_SUCCESS);
  const std::string hugeLog(5 * MaxEventStringLength, 'x');
  for (TOutcomeEvent kind : {TOutcomeEvent::Succeeded, TOutcomeEvent::Failed, TOutcomeEvent::CopyOrCheckFailed}) {
    EXPECT_TRUE(WriteOutcomeEvent(kind, "Бухгалтерия", "Выгрузка завершена\r\n"));
    EXPECT_TRUE(WriteOutcomeEvent(kind, "", ""));
    EXPECT_TRUE(WriteOutcomeEvent(kind, "Бухгалтерия", hugeLog));
  }
}

// A source that is not open (as when the event log is out of reach) writes
// nothing and says so instead of throwing.
TEST(EventSource, NotOpenReportsNothing) {
  TEventSource source("Nightshelf");
  ASSERT_TRUE(source.IsOpen());
  EXPECT_TRUE(source.Report(TEventType::Information, 1, {"Бухгалтерия"}));
  TEventSource taken = std::move(source);
  EXPECT_FALSE(source.IsOpen());
  EXPECT_FALSE(source.Report(TEventType::Error, 2, {"Бухгалтерия", "журнал"}));
  EXPECT_TRUE(taken.Report(TEventType::Warning, 3, {}));
}

}  // namespace
}  // namespace ns
