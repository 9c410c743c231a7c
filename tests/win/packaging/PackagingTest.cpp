#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveFolder.h"
#include "backup/ArchiveNaming.h"
#include "backup/LocalClock.h"
#include "backup/Packaging.h"

namespace ns {
namespace {

using Names = std::vector<std::string>;
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

TEST(Packaging, AnEntryNotOlderThanTheDumpStaysAndThePackingStillSucceeds) {
  // The clock was set back: the archive of the day holds a dump that looks
  // newer than the one just made.
  TArchiveFolder folder;
  EXPECT_TRUE(PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 5000, "2026-12-06 15:00:00"), December6));
  EXPECT_TRUE(PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 6000, "2026-12-06 03:00:00"), December6));
  EXPECT_EQ(folder.EntrySize("1C8-261206.zip", "Daily.dt"), 5000);
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

TEST(Packaging, TheDayIsReadFromTheClockWhenPacking) {
  TArchiveFolder folder;
  EXPECT_TRUE(PackDump(folder.Path(), "Daily", true, folder.Dump("Daily", 100)));
  std::string expected = ArchiveFileName(folder.Path(), LocalNow().Date, "Daily", true);
  EXPECT_EQ(folder.Files(), (Names{expected.substr(folder.Path().size())}));
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

}  // namespace
}  // namespace ns
