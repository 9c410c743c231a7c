#pragma once
// Backup archives are named after the day they were packed:
//   <folder>\1C8-yymmdd.zip        shared by the tasks of a folder
//   <folder>\1C8-yymmdd-Task.zip   for a task that puts its name in
// ("C" is the Latin letter). Rotation finds a task's archives by that name,
// reads their day back from it and removes the task's entry from the old ones.
#include <optional>
#include <string>
#include <string_view>

#include "backup/DateTime.h"

namespace ns {

// The archive folder with a trailing backslash, added unless it has one.
std::string ArchiveFolderPath(std::string_view dumpIB);

// "yymmdd".
std::string ArchiveDatePart(const TDate& date);

// The full path of the archive a task packs into on `date`.
std::string ArchiveFileName(std::string_view dumpIB, const TDate& date, std::string_view taskName, bool addName);

// The task's entry in an archive: its dump file's own name.
std::string DumpEntryName(std::string_view taskName);

// The names rotation looks at, as a wildcard pattern for the directory
// listing: "1C8-??????" [+ "-" + task name] + ".zip". The system's own
// matching differs in details (short names, "?" before a dot may match
// nothing), so the names it lists go through IsRotationCandidate as well.
std::string RotationPattern(std::string_view taskName, bool addName);

// Wildcard matching that ignores letter case (Windows-1251 letters too):
// "?" stands for exactly one character, "*" for any run of characters.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// Whether a file name is one of the task's archives: RotationPattern, with
// the task name taken literally, so that a name holding "*" or "?" does not
// reach into other tasks' archives.
bool IsRotationCandidate(std::string_view fileName, std::string_view taskName, bool addName);

// The day in an archive name: characters 5-10 as yymmdd, the year placed in
// the hundred years that begin 50 years before `currentYear`. Empty when
// they are not six digits of a real day.
std::optional<TDate> ArchiveNameDate(std::string_view fileName, int currentYear);

// An archive is outdated when its day lies more than `days` days before
// `today`. The day exactly `days` before is kept, and so is every day after
// `today`: such an archive means a clock that was set back, not an old dump.
bool IsOutdated(const TDate& archiveDate, const TDate& today, int days);

}  // namespace ns
