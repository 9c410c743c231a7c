#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ArchiveFolder.h"
#include "TestFolder.h"
#include "win/UniqueHandle.h"
#include "backup/ArchiveNaming.h"
#include "backup/LocalClock.h"
#include "backup/Packaging.h"

namespace ns {
namespace {

using Names = std::vector<std::string>;
using test::ProgramFolder;
using test::TArchiveFolder;

const TDate December6{2026, 12, 6};

std::string WithoutBackslash(const std::string& folder) { return folder.substr(0, folder.size() - 1); }

TEST(Packaging, TasksOfOneFolderShareTheDaysArchive) {
  TArchiveFolder folder;
  // The folder as typed, with and without its trailing backslash.
  EXPECT_TRUE(PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 5000), December6));
  EXPECT_TRUE(PackDump(WithoutBackslash(folder.Path()), "Склад", false, folder.Dump("Склад", 7000), December6));
  EXPECT_EQ(folder.Files(), (Names{"1C8-261206.zip"}));
  EXPECT_EQ(folder.Entries("1C8-261206.zip"), (Names{"Daily.dt", "Склад.dt"}));
  EXPECT_EQ(folder.EntrySize("1C8-261206.zip", "Склад.dt"), 7000);
}

TEST(Packaging, TheSameTaskTwiceADayKeepsOnlyTheLaterDump) {
  TArchiveFolder folder;
  EXPECT_TRUE(PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 5000, "2026-12-06 03:00:00"), December6));
  EXPECT_TRUE(PackDump(folder.Path(), "Other", false, folder.Dump("Other", 100), December6));
  EXPECT_TRUE(PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 6000, "2026-12-06 15:00:00"), December6));
  EXPECT_EQ(folder.Entries("1C8-261206.zip"), (Names{"Daily.dt", "Other.dt"}));
  EXPECT_EQ(folder.EntrySize("1C8-261206.zip", "Daily.dt"), 6000);
}

TEST(Packaging, ATaskThatAddsItsNameGetsAnArchiveOfItsOwn) {
  TArchiveFolder folder;
  EXPECT_TRUE(PackDump(folder.Path(), "Shared", false, folder.Dump("Shared", 100), December6));
  EXPECT_TRUE(PackDump(folder.Path(), "Daily", true, folder.Dump("Daily", 200), December6));
  EXPECT_TRUE(PackDump(folder.Path(), "Бухгалтерия", true, folder.Dump("Бухгалтерия", 300), December6));
  EXPECT_EQ(folder.Files(), (Names{"1C8-261206-Daily.zip", "1C8-261206-Бухгалтерия.zip", "1C8-261206.zip"}));
  EXPECT_EQ(folder.Entries("1C8-261206-Daily.zip"), (Names{"Daily.dt"}));
  EXPECT_EQ(folder.Entries("1C8-261206-Бухгалтерия.zip"), (Names{"Бухгалтерия.dt"}));
  EXPECT_EQ(folder.Entries("1C8-261206.zip"), (Names{"Shared.dt"}));
}

// The day's name as the system clock gives it: "1C8-yymmdd-Daily.zip".
std::string TodaysArchiveOfDaily() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char name[32];
  std::snprintf(name, sizeof name, "1C8-%02u%02u%02u-Daily.zip", now.wYear % 100u, unsigned{now.wMonth},
                unsigned{now.wDay});
  return name;
}

TEST(Packaging, TheDayIsReadFromTheClockWhenPacking) {
  TArchiveFolder folder;
  const std::string before = TodaysArchiveOfDaily();
  EXPECT_TRUE(PackDump(folder.Path(), "Daily", true, folder.Dump("Daily", 100)));
  const std::string after = TodaysArchiveOfDaily();
  const Names files = folder.Files();
  ASSERT_EQ(files.size(), 1u);
  // Packed across midnight, either day is right.
  EXPECT_TRUE(files[0] == before || files[0] == after) << files[0];
}

TEST(Packaging, AnArchiveThatCannotBeWrittenIsAFailure) {
  TArchiveFolder folder;
  std::string dump = folder.Dump("Daily", 100);
  // A folder that does not exist (a drive that is gone).
  EXPECT_FALSE(PackDump(folder.Path() + "нет такой папки", "Daily", false, dump, December6));
  EXPECT_FALSE(PackDump("Q:\\Архив", "Daily", false, dump, December6));
  // The day's archive is damaged: it is left exactly as it was.
  folder.File("1C8-261206.zip", "this is not an archive");
  EXPECT_FALSE(PackDump(folder.Path(), "Daily", false, dump, December6));
  EXPECT_EQ(folder.Bytes("1C8-261206.zip"), "this is not an archive");
  EXPECT_EQ(folder.Files(), (Names{"1C8-261206.zip"}));
}

// Another writer that holds the archive past the wait: a failure that says
// so, and the archive stays as it was.
TEST(Packaging, AnArchiveBusyForTooLongIsAFailure) {
  TArchiveFolder folder;
  ASSERT_TRUE(PackDump(folder.Path(), "Other", false, folder.Dump("Other", 100), December6));
  const std::string before = folder.Bytes("1C8-261206.zip");
  auto held = SystemFileSystem().TryLock(folder.Path() + "1C8-261206.zip.lock");
  ASSERT_TRUE(held);
  TPackOutcome outcome =
      PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 100), December6, SystemFileSystem(), 500);
  EXPECT_FALSE(outcome);
  EXPECT_NE(outcome.Failure.find("занят другим процессом, ожидание прервано через 1 с"), std::string::npos)
      << outcome.Failure;
  EXPECT_EQ(folder.Bytes("1C8-261206.zip"), before);
}

// A dump held open by another program (or without the right to read it)
// cannot be packed: that is a failure that names the dump, and no archive is
// created or changed, not even an empty one.
TEST(Packaging, ADumpThatCannotBeReadIsAFailureAndTouchesNoArchive) {
  TArchiveFolder folder;
  std::string dump = folder.Dump("Daily", 5000);
  UniqueFile held(CreateFileA(dump.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);

  TPackOutcome outcome = PackDump(folder.Path(), "Daily", false, dump, December6);
  EXPECT_FALSE(outcome.Packed);
  EXPECT_NE(outcome.Failure.find(dump), std::string::npos) << outcome.Failure;
  EXPECT_EQ(folder.Files(), Names{});

  folder.Archive("1C8-261206.zip", {"Other"});
  std::string before = folder.Bytes("1C8-261206.zip");
  EXPECT_FALSE(PackDump(folder.Path(), "Daily", false, dump, December6));
  EXPECT_EQ(folder.Bytes("1C8-261206.zip"), before);
  EXPECT_EQ(folder.Files(), (Names{"1C8-261206.zip"}));
}

// Two programs packing into one archive at the same moment (a scheduled run
// and an administrator's, two users): each waits for the other, and the
// archive ends with both entries.
TEST(Packaging, TwoProcessesPackingIntoOneArchiveAtOnceKeepBothEntries) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    TArchiveFolder folder;
    std::string dumps[] = {folder.NoisyDump("Первая" + std::to_string(round), 8 << 20),
                           folder.NoisyDump("Second" + std::to_string(round), 8 << 20)};
    std::string eventName = "Nightshelf.PackingTest." + std::to_string(GetCurrentProcessId()) + "." +
                            std::to_string(round);
    UniqueHandle start(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    ASSERT_TRUE(start);
    std::vector<UniqueHandle> writers;
    for (const std::string& dump : dumps) {
      std::string commandLine = "\"" + ProgramFolder() + "pack_dump_process.exe\" \"" +
                                WithoutBackslash(folder.Path()) + "\" Task \"" + dump + "\" " + eventName;
      STARTUPINFOA startup{};
      startup.cb = sizeof startup;
      PROCESS_INFORMATION process{};
      ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process))
          << commandLine;
      CloseHandle(process.hThread);
      writers.emplace_back(process.hProcess);
    }
    ASSERT_TRUE(SetEvent(start.get()));
    for (UniqueHandle& writer : writers) {
      ASSERT_EQ(WaitForSingleObject(writer.get(), 120000), WAIT_OBJECT_0);
      DWORD exitCode = 99;
      GetExitCodeProcess(writer.get(), &exitCode);
      EXPECT_EQ(exitCode, 0u);
    }
    EXPECT_EQ(folder.Entries("1C8-261206.zip"),
              (Names{"Second" + std::to_string(round) + ".dt", "Первая" + std::to_string(round) + ".dt"}));
    EXPECT_EQ(folder.Files(), (Names{"1C8-261206.zip"}));
    DeleteFileA((folder.Path() + "1C8-261206.zip").c_str());
  }
}

// The archive on the disk is what counts: an entry that does not read back
// as the dump was read (a bit flipped on its way to the disk, here injected
// as the archive is read back) fails the packing, and the dump stays.
TEST(Packaging, AnEntryThatDoesNotReadBackFailsThePackingAndKeepsTheDump) {
  TArchiveFolder folder;
  std::string dump = folder.NoisyDump("Daily", 5000);
  ns::testing::TFaultyFileSystem fileSystem;
  fileSystem.damaged = folder.Path() + "1C8-261206.zip";
  fileSystem.xorAt = {{60, 0x10}};  // inside the entry's data
  TPackOutcome outcome = PackDump(folder.Path(), "Daily", false, dump, December6, fileSystem);
  EXPECT_FALSE(outcome.Packed);
  EXPECT_NE(outcome.Failure.find("не прошёл проверку"), std::string::npos) << outcome.Failure;
  EXPECT_NE(GetFileAttributesA(dump.c_str()), INVALID_FILE_ATTRIBUTES);
  // The disk itself holds the archive intact.
  EXPECT_EQ(folder.Entries("1C8-261206.zip"), (Names{"Daily.dt"}));
}

}  // namespace
}  // namespace ns
