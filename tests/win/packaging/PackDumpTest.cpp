// Packing a task's dump must leave this very dump in the archive, or fail:
// whatever the date stamps say, whatever happened to the dump while the
// archive was busy, whoever else is reading the archive.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveFolder.h"
#include "TestFolder.h"
#include "backup/Packaging.h"
#include "win/UniqueHandle.h"
#include "zip/ZipWriter.h"

namespace ns {
namespace {

using Names = std::vector<std::string>;
using test::ProgramFolder;
using test::TArchiveFolder;

const TDate December6{2026, 12, 6};

// The clock set back, the end of daylight saving time, a second run within
// the same two seconds: the entry already there looks as new as the dump, or
// newer. The dump just made replaces it all the same; other tasks' entries
// stay.
TEST(PackDump, TheNewDumpReplacesTheTasksEntryWhateverTheStamps) {
  const struct {
    const char* first;
    const char* second;
  } cases[] = {
      {"2026-12-06 15:00:00", "2026-12-06 03:00:00"},  // the clock went back
      {"2026-12-06 03:00:00", "2026-12-06 03:00:00"},  // the same stamp
      {"2026-12-06 03:00:00", "2026-12-06 03:00:01"},  // within MS-DOS time's two seconds
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " then " + c.second);
    TArchiveFolder folder;
    ASSERT_TRUE(PackDump(folder.Path(), "Other", false, folder.Dump("Other", 100), December6));
    ASSERT_TRUE(PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 5000, c.first), December6));
    TPackOutcome outcome = PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 6000, c.second), December6);
    EXPECT_TRUE(outcome) << outcome.Failure;
    EXPECT_EQ(folder.Entries("1C8-261206.zip"), (Names{"Daily.dt", "Other.dt"}));
    EXPECT_EQ(folder.EntrySize("1C8-261206.zip", "Daily.dt"), 6000);
    EXPECT_EQ(folder.EntrySize("1C8-261206.zip", "Other.dt"), 100);
  }
}

// The dump was there when packing began and is gone once another writer
// let go of the archive: a failure that names the dump, and the archive
// stays as it was, instead of a success with the old entry.
TEST(PackDump, ADumpGoneOnceTheArchiveIsFreeIsAFailure) {
  TArchiveFolder folder;
  ASSERT_TRUE(PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 5000), December6));
  const std::string before = folder.Bytes("1C8-261206.zip");
  for (const char* task : {"Daily", "Weekly"}) {  // an entry to replace, an entry to add
    SCOPED_TRACE(task);
    ns::testing::TFaultyFileSystem fileSystem;
    std::string dump = folder.Dump(task, 7000, "2026-12-06 05:00:00");
    fileSystem.removeOnLock = dump;
    TPackOutcome outcome = PackDump(folder.Path(), task, false, dump, December6, fileSystem);
    EXPECT_FALSE(outcome.Packed);
    EXPECT_NE(outcome.Failure.find(dump), std::string::npos) << outcome.Failure;
    EXPECT_EQ(folder.Bytes("1C8-261206.zip"), before);
    EXPECT_EQ(folder.Files(), (Names{"1C8-261206.zip"}));
  }
}

// Started with the archive, how it opens it and for how long; returns once
// the archive is open.
UniqueHandle StartReader(const std::string& archive, const char* mode, int holdMs) {
  std::string eventName = "Nightshelf.PackDumpTest." + std::to_string(GetCurrentProcessId()) + "." + mode;
  UniqueHandle opened(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
  EXPECT_TRUE(opened);
  std::string commandLine = "\"" + ProgramFolder() + "read_archive_process.exe\" \"" + archive + "\" " + mode + " " +
                            eventName + " " + std::to_string(holdMs);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process))
      << commandLine;
  CloseHandle(process.hThread);
  UniqueHandle reader(process.hProcess);
  HANDLE both[] = {opened.get(), reader.get()};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 60000), WAIT_OBJECT_0) << "the reader did not open " << archive;
  return reader;
}

DWORD ExitCodeOf(const UniqueHandle& process) {
  EXPECT_EQ(WaitForSingleObject(process.get(), 120000), WAIT_OBJECT_0);
  DWORD exitCode = 99;
  GetExitCodeProcess(process.get(), &exitCode);
  return exitCode;
}

// Another process reads the day's archive (checking a large entry of
// another task, copying it) while a small dump is packed into it: the
// packing succeeds and the reader goes on reading what it opened. A reader
// without delete sharing that lets go within a few seconds is waited for.
TEST(PackDump, AReaderOfTheArchiveDoesNotFailTheNextWriter) {
  TArchiveFolder folder;
  const std::string archive = folder.Path() + "1C8-261206.zip";
  ASSERT_TRUE(PackDump(folder.Path(), "Large", false, folder.NoisyDump("Large", 16 << 20), December6));

  UniqueHandle checker = StartReader(archive, "program", 3000);
  TPackOutcome outcome = PackDump(folder.Path(), "Small", false, folder.Dump("Small", 1000), December6);
  EXPECT_TRUE(outcome) << outcome.Failure;
  EXPECT_EQ(ExitCodeOf(checker), 0u);

  UniqueHandle copier = StartReader(archive, "plain", 1500);
  outcome = PackDump(folder.Path(), "Tiny", false, folder.Dump("Tiny", 10), December6);
  EXPECT_TRUE(outcome) << outcome.Failure;
  EXPECT_EQ(ExitCodeOf(copier), 0u);

  EXPECT_EQ(folder.Entries("1C8-261206.zip"), (Names{"Large.dt", "Small.dt", "Tiny.dt"}));
  EXPECT_EQ(folder.Files(), (Names{"1C8-261206.zip"}));
}

}  // namespace
}  // namespace ns
