#include "backup/ArchiveNaming.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

constexpr TDate December6{2026, 12, 6};

TEST(ArchiveNaming, FileNames) {
  EXPECT_EQ(ArchiveFileName("D:\\Archive", December6, "Daily", false), "D:\\Archive\\1C8-261206.zip");
  EXPECT_EQ(ArchiveFileName("D:\\Archive\\", December6, "Daily", false), "D:\\Archive\\1C8-261206.zip");
  EXPECT_EQ(ArchiveFileName("D:\\Archive", December6, "Daily", true), "D:\\Archive\\1C8-261206-Daily.zip");
  EXPECT_EQ(ArchiveFileName("\\\\fs\\arch", TDate{2009, 1, 2}, "Ежедневно", true),
            "\\\\fs\\arch\\1C8-090102-Ежедневно.zip");
  EXPECT_EQ(ArchiveFileName("", TDate{2000, 10, 31}, "x", false), "\\1C8-001031.zip");
  // The "C" is Latin (0x43), unlike the Cyrillic one of the messages.
  EXPECT_EQ(ArchiveFileName("D:", December6, "", false), "D:\\\x31\x43\x38-261206.zip");
  EXPECT_EQ(DumpEntryName("Daily"), "Daily.dt");
}

TEST(ArchiveNaming, RotationPattern) {
  EXPECT_EQ(RotationPattern("Daily", false), "1C8-??????.zip");
  EXPECT_EQ(RotationPattern("Daily", true), "1C8-??????" "-Daily.zip");
}

TEST(ArchiveNaming, PatternMatching) {
  const struct {
    const char* name;
    const char* pattern;
    bool matches;
  } cases[] = {
      {"1C8-261206.zip", "1C8-??????.zip", true},
      {"1c8-261206.ZIP", "1C8-??????.zip", true},
      {"1C8-26120.zip", "1C8-??????.zip", false},  // "?" is exactly one character
      {"1C8-2612066.zip", "1C8-??????.zip", false},
      {"1C8-261206-Daily.zip", "1C8-??????.zip", false},
      {"1C8-261206-Daily.zip", "1C8-??????" "-daily.zip", true},
      {"1C8-261206-ЕЖЕДНЕВНО.zip", "1C8-??????" "-ежедневно.zip", true},
      {"1C8-261206-Daily.zip", "1C8-*.zip", true},
      {"1C8-.zip", "1C8-*.zip", true},          // "*" may be empty
      {"1C8-a.zip.zip", "1C8-*.zip", true},     // and backtracks
      {"1C8-a.zip.bak", "1C8-*.zip", false},
      {"abc", "*", true},
      {"", "*", true},
      {"", "?", false},
      {"a*c", "a*c", true},
      {"axxbxxc", "a*b*c", true},
      {"axxbxx", "a*b*c", false},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " " << c.pattern;
}

TEST(ArchiveNaming, RotationCandidates) {
  const struct {
    const char* name;
    const char* task;
    bool addName;
    bool candidate;
  } cases[] = {
      {"1C8-261206.zip", "Daily", false, true},
      {"1c8-261206.Zip", "Daily", false, true},
      {"1C8-261206-Daily.zip", "Daily", false, false},  // a named archive is not a shared one
      {"1C8-261206.zip", "Daily", true, false},
      {"1C8-261206-Daily.zip", "Daily", true, true},
      {"1C8-261206-DAILY.zip", "daily", true, true},
      {"1C8-261206-Weekly.zip", "Daily", true, false},
      {"1С8-261206.zip", "Daily", false, false},  // Cyrillic С: not ours
      {"1C8-abcdef.zip", "Daily", false, true},   // its date is judged later
      // A task name is taken literally, never as a pattern.
      {"1C8-261206-Daily.zip", "D*", true, false},
      {"1C8-261206-D*.zip", "D*", true, true},
      {"1C8-261206-Dx.zip", "D?", true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsRotationCandidate(c.name, c.task, c.addName), c.candidate) << c.name << " " << c.task;
  }
}

TEST(ArchiveNaming, DateFromNameWithTheTwoDigitYearWindow) {
  const struct {
    const char* name;
    int currentYear;
    std::optional<TDate> date;
  } cases[] = {
      {"1C8-261206.zip", 2026, TDate{2026, 12, 6}},
      {"1C8-000101.zip", 2026, TDate{2000, 1, 1}},
      {"1C8-751231-Daily.zip", 2026, TDate{2075, 12, 31}},  // last year of the window
      {"1C8-760101.zip", 2026, TDate{1976, 1, 1}},          // first year of the window
      {"1C8-991231.zip", 2026, TDate{1999, 12, 31}},
      {"1C8-481231.zip", 2099, TDate{2148, 12, 31}},        // the window moves with the clock
      {"1C8-490101.zip", 2099, TDate{2049, 1, 1}},
      {"1C8-500101.zip", 2100, TDate{2050, 1, 1}},
      {"1C8-240229.zip", 2026, TDate{2024, 2, 29}},
      {"1C8-250229.zip", 2026, std::nullopt},               // no such day
      {"1C8-000229.zip", 2026, TDate{2000, 2, 29}},         // 2000 was a leap year
      {"1C8-261301.zip", 2026, std::nullopt},               // month 13
      {"1C8-261200.zip", 2026, std::nullopt},
      {"1C8-260431.zip", 2026, std::nullopt},
      {"1C8-abcdef.zip", 2026, std::nullopt},
      {"1C8-26 206.zip", 2026, std::nullopt},
      {"1C8-+61206.zip", 2026, std::nullopt},
      {"1C8-2612", 2026, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ArchiveNameDate(c.name, c.currentYear), c.date) << c.name;
}

TEST(ArchiveNaming, OutdatedArchives) {
  constexpr TDate today{2026, 12, 10};
  const struct {
    TDate date;
    int days;
    bool outdated;
  } cases[] = {
      {{2026, 12, 10}, 7, false},
      {{2026, 12, 3}, 7, false},  // exactly Days before: kept
      {{2026, 12, 2}, 7, true},
      // After today: the clock was set back, and the archive may hold the
      // only good dump. Never outdated, however far ahead.
      {{2026, 12, 11}, 7, false},
      {{2027, 1, 1}, 999, false},
      {{2075, 12, 31}, 0, false},
      {{2026, 11, 30}, 10, false},
      {{2026, 11, 29}, 10, true},
      {{2025, 12, 10}, 365, false},
      {{2025, 12, 9}, 365, true},
      {{2026, 12, 10}, 1, false},
      {{2026, 12, 9}, 1, false},
      {{2026, 12, 8}, 1, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsOutdated(c.date, today, c.days), c.outdated)
        << c.date.Year << "-" << c.date.Month << "-" << c.date.Day << " days " << c.days;
  }
  // Across a leap day and the turn of a year.
  EXPECT_FALSE(IsOutdated({2024, 2, 28}, {2024, 3, 1}, 2));
  EXPECT_TRUE(IsOutdated({2023, 2, 28}, {2023, 3, 3}, 2));
  EXPECT_FALSE(IsOutdated({2025, 12, 31}, {2026, 1, 7}, 7));
  EXPECT_TRUE(IsOutdated({2025, 12, 30}, {2026, 1, 7}, 7));
}

TEST(DateTime, DayNumbersAreConsecutive) {
  // Walk every day of 1999..2101 and check the numbers follow each other.
  TDate date{1999, 1, 1};
  auto number = DayNumber(date);
  int walked = 0;
  for (int year = 1999; year <= 2101; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= 31; ++day) {
        if (!IsValidDate(year, month, day)) continue;
        EXPECT_EQ(DayNumber({year, month, day}), number + walked) << year << "-" << month << "-" << day;
        ++walked;
      }
    }
  }
  EXPECT_EQ(walked, 103 * 365 + 25);  // 25 leap years: 2000 is one, 2100 is not
  EXPECT_FALSE(IsValidDate(2100, 2, 29));
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
}

}  // namespace
}  // namespace ns
