#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveFolder.h"
#include "backup/Packaging.h"
#include "backup/Rotation.h"

namespace ns {
namespace {

using Names = std::vector<std::string>;
using test::TArchiveFolder;

const TDate December10{2026, 12, 10};
const Names NoFile{"<no file>"};

std::string WithoutTrailingBackslash(const std::string& folder) { return folder.substr(0, folder.size() - 1); }

TEST(Rotation, RemovesTheTasksEntriesOutsideTheRetentionPeriod) {
  TArchiveFolder folder;
  folder.Archive("1C8-261210.zip", {"Daily", "Other"});  // today
  folder.Archive("1C8-261203.zip", {"Daily", "Other"});  // exactly 7 days back: kept
  folder.Archive("1C8-261202.zip", {"Daily", "Other"});  // 8 days back
  folder.Archive("1C8-251210.zip", {"Daily"});           // a year back: emptied
  folder.Archive("1C8-261211.zip", {"Daily", "Other"});  // tomorrow: the clock was set back, kept
  folder.Archive("1c8-261201.ZIP", {"Daily"});           // names compare without letter case
  RotateArchives(folder.Path(), "Daily", false, 7, December10);
  EXPECT_EQ(folder.Entries("1C8-261210.zip"), (Names{"Daily.dt", "Other.dt"}));
  EXPECT_EQ(folder.Entries("1C8-261203.zip"), (Names{"Daily.dt", "Other.dt"}));
  EXPECT_EQ(folder.Entries("1C8-261202.zip"), (Names{"Other.dt"}));
  EXPECT_EQ(folder.Entries("1C8-251210.zip"), NoFile);
  EXPECT_EQ(folder.Entries("1C8-261211.zip"), (Names{"Daily.dt", "Other.dt"}));
  EXPECT_EQ(folder.Entries("1c8-261201.ZIP"), NoFile);
}

TEST(Rotation, ASharedArchiveGoesWithTheLastTaskThatHadAnEntryInIt) {
  TArchiveFolder folder;
  folder.Archive("1C8-261210.zip", {"A", "B"});
  folder.Archive("1C8-261201.zip", {"A", "B"});
  RotateArchives(folder.Path(), "A", false, 7, December10);
  EXPECT_EQ(folder.Entries("1C8-261201.zip"), (Names{"B.dt"}));
  RotateArchives(WithoutTrailingBackslash(folder.Path()), "B", false, 7, December10);
  EXPECT_EQ(folder.Entries("1C8-261201.zip"), NoFile);
  EXPECT_EQ(folder.Entries("1C8-261210.zip"), (Names{"A.dt", "B.dt"}));
}

TEST(Rotation, LooksOnlyAtTheArchivesTheTaskPacksInto) {
  TArchiveFolder folder;
  for (const char* name : {"1C8-261210.zip", "1C8-261210-Daily.zip"}) folder.Archive(name, {"Daily"});
  folder.Archive("1C8-261201.zip", {"Daily"});
  folder.Archive("1C8-261201-Daily.zip", {"Daily"});
  folder.Archive("1C8-261201-Weekly.zip", {"Daily"});
  folder.Archive("1C8-261201-Daily2.zip", {"Daily"});
  folder.Archive("1C8-261201-x.zip", {"Daily"});

  RotateArchives(folder.Path(), "Daily", true, 7, December10);
  EXPECT_EQ(folder.Entries("1C8-261201-Daily.zip"), NoFile);
  EXPECT_EQ(folder.Entries("1C8-261201.zip"), (Names{"Daily.dt"}));

  RotateArchives(folder.Path(), "Daily", false, 7, December10);
  EXPECT_EQ(folder.Entries("1C8-261201.zip"), NoFile);
  for (const char* other : {"1C8-261201-Weekly.zip", "1C8-261201-Daily2.zip", "1C8-261201-x.zip"}) {
    EXPECT_EQ(folder.Entries(other), (Names{"Daily.dt"})) << other;
  }
}

TEST(Rotation, NamesWithoutADayAndDamagedArchivesAreLeftAlone) {
  TArchiveFolder folder;
  folder.Archive("1C8-261210.zip", {"Daily"});
  folder.Archive("1C8-abcdef.zip", {"Daily"});
  folder.Archive("1C8-261301.zip", {"Daily"});  // month 13
  folder.Archive("1C8-260230.zip", {"Daily"});  // 30 February
  folder.File("1C8-261125.zip", "damaged");
  folder.File("1C8-261124.zip", "");
  folder.Archive("1C8-261120.zip", {"Daily"});
  folder.Archive("1C8-261119.zip", {"Daily"});
  SetFileAttributesA((folder.Path() + "1C8-261119.zip").c_str(),
                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  RotateArchives(folder.Path(), "Daily", false, 7, December10);
  for (const char* kept : {"1C8-abcdef.zip", "1C8-261301.zip", "1C8-260230.zip"}) {
    EXPECT_EQ(folder.Entries(kept), (Names{"Daily.dt"})) << kept;
  }
  EXPECT_EQ(folder.Bytes("1C8-261125.zip"), "damaged");
  EXPECT_EQ(folder.Entries("1C8-261124.zip"), (Names{"<unreadable>"}));
  // The archives after the damaged ones are still pruned, hidden or not.
  EXPECT_EQ(folder.Entries("1C8-261120.zip"), NoFile);
  EXPECT_EQ(folder.Entries("1C8-261119.zip"), NoFile);
  EXPECT_EQ(folder.Entries("1C8-261210.zip"), (Names{"Daily.dt"}));
}

TEST(Rotation, AMissingFolderIsNotAnError) {
  TArchiveFolder folder;
  RotateArchives(folder.Path() + "нет такой папки", "Daily", false, 7, December10);
  RotateArchives("Q:\\Архив", "Daily", false, 7, December10);
  RotateArchives(folder.Path(), "Daily", false, 7, December10);
  EXPECT_TRUE(folder.Files().empty());
}

// A task that has failed for longer than its retention period still has
// its last good dump afterwards.
TEST(Rotation, KeepsTheLastGoodDumpOfATaskThatKeepsFailing) {
  TArchiveFolder folder;
  folder.Archive("1C8-261101.zip", {"Daily", "Other"});
  folder.Archive("1C8-261115.zip", {"Daily", "Other"});
  folder.Archive("1C8-261116.zip", {"Other"});
  folder.File("1C8-261117.zip", "damaged");
  folder.Archive("1C8-261210.zip", {"Other"});
  folder.Archive("1C8-261215.zip", {"Other"});
  RotateArchives(folder.Path(), "Daily", false, 7, December10);
  EXPECT_EQ(folder.Entries("1C8-261115.zip"), (Names{"Daily.dt", "Other.dt"}));
  EXPECT_EQ(folder.Entries("1C8-261101.zip"), (Names{"Other.dt"}));
  // Rotation the next day changes nothing: it is still the last good dump.
  RotateArchives(folder.Path(), "Daily", false, 7, {2026, 12, 11});
  EXPECT_EQ(folder.Entries("1C8-261115.zip"), (Names{"Daily.dt", "Other.dt"}));

  // Once a dump succeeds again, the old one goes like any other.
  ASSERT_TRUE(PackDump(folder.Path(), "Daily", false, folder.Dump("Daily", 10), {2026, 12, 12}));
  RotateArchives(folder.Path(), "Daily", false, 7, {2026, 12, 12});
  EXPECT_EQ(folder.Entries("1C8-261115.zip"), (Names{"Other.dt"}));
  EXPECT_EQ(folder.Entries("1C8-261212.zip"), (Names{"Daily.dt"}));
}

// The computer's clock went back years (a BIOS battery, a virtual machine
// restored with its old clock) and that night's dump failed too: every real
// archive is dated after "today". None of them is outdated; the newest one
// holding the task's entry is its good copy, so an older archive that is
// outdated even by the wrong clock still loses its entry.
TEST(Rotation, ArchivesDatedAfterTodayAreNeverOutdated) {
  const TDate clockSetBack{2020, 1, 1};
  for (bool addName : {false, true}) {
    SCOPED_TRACE(addName);
    TArchiveFolder folder;
    const std::string suffix = addName ? "-Daily.zip" : ".zip";
    for (const char* day : {"261208", "261209", "261210"}) folder.Archive("1C8-" + std::string(day) + suffix, {"Daily"});
    folder.Archive("1C8-261207" + suffix, {"Daily", "Other"});
    folder.Archive("1C8-191201" + suffix, {"Daily"});  // outdated by either clock
    RotateArchives(folder.Path(), "Daily", addName, 7, clockSetBack);
    for (const char* day : {"261208", "261209", "261210"}) {
      EXPECT_EQ(folder.Entries("1C8-" + std::string(day) + suffix), (Names{"Daily.dt"})) << day;
    }
    EXPECT_EQ(folder.Entries("1C8-261207" + suffix), (Names{"Daily.dt", "Other.dt"}));
    EXPECT_EQ(folder.Entries("1C8-191201" + suffix), NoFile);
  }
}

TEST(Rotation, TheLastGoodDumpOfATaskWithItsOwnArchivesIsKeptWhole) {
  TArchiveFolder folder;
  folder.Archive("1C8-261020-Daily.zip", {"Daily"});
  folder.Archive("1C8-261025-Daily.zip", {"Daily"});
  folder.Archive("1C8-261030.zip", {"Daily"});  // before AddName was switched on: not looked at
  RotateArchives(folder.Path(), "Daily", true, 7, December10);
  EXPECT_EQ(folder.Files(), (Names{"1C8-261025-Daily.zip", "1C8-261030.zip"}));
  EXPECT_EQ(folder.Entries("1C8-261025-Daily.zip"), (Names{"Daily.dt"}));
}

}  // namespace
}  // namespace ns
