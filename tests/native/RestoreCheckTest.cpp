#include "tasks/RestoreCheck.h"

#include <gtest/gtest.h>

#include "backup/DateTime.h"

namespace ns {
namespace {

TEST(RestoreCheck, StoredTextReadsBackAndAnythingElseIsNever) {
  const struct {
    TRestoreCheck check;
    const char* text;
  } stored[] = {
      {TRestoreCheck::Never, ""},       {TRestoreCheck::EveryRun, "*"}, {TRestoreCheck::Monday, "1"},
      {TRestoreCheck::Wednesday, "3"}, {TRestoreCheck::Sunday, "7"},
  };
  for (const auto& c : stored) {
    EXPECT_EQ(ComposeRestoreCheck(c.check), c.text);
    EXPECT_EQ(ParseRestoreCheck(c.text), c.check) << c.text;
  }
  for (const char* typed : {"0", "8", "**", " 1", "1 ", "пн", "Monday", "-1"}) {
    EXPECT_EQ(ParseRestoreCheck(typed), TRestoreCheck::Never) << typed;
  }
}

TEST(RestoreCheck, DueEveryRunOrOnItsOwnDayOnly) {
  for (int weekday = 1; weekday <= 7; ++weekday) {
    EXPECT_FALSE(IsRestoreCheckDue(TRestoreCheck::Never, weekday));
    EXPECT_TRUE(IsRestoreCheckDue(TRestoreCheck::EveryRun, weekday));
    EXPECT_EQ(IsRestoreCheckDue(TRestoreCheck::Tuesday, weekday), weekday == 2) << weekday;
    EXPECT_EQ(IsRestoreCheckDue(TRestoreCheck::Sunday, weekday), weekday == 7) << weekday;
  }
}

TEST(DateTime, IsoWeekdayOfKnownDates) {
  const struct {
    TDate date;
    int weekday;
  } cases[] = {
      {{2026, 12, 11}, 5},  // a Friday
      {{2026, 12, 13}, 7},  {{2026, 12, 14}, 1}, {{2000, 2, 29}, 2}, {{2024, 1, 1}, 1},
      {{1999, 12, 31}, 5},  {{2100, 3, 1}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsoWeekday(c.date), c.weekday) << c.date.Year << "-" << c.date.Month << "-" << c.date.Day;
  }
}

}  // namespace
}  // namespace ns
