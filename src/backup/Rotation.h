#pragma once
// Pruning a task's old dumps from its archive folder.
#include <string>

#include "backup/DateTime.h"

namespace ns {

// Removes the task's entry ("<taskName>.dt") from the archives in `dumpIB`
// that are outdated: dated more than `days` days before today. An archive
// dated after today is never outdated: the clock is more likely wrong than
// the archive (a BIOS battery, a virtual machine restored with its old
// clock), and its entry may be the task's only good dump. Only the task's own archives are looked at: the shared
// "1C8-yymmdd.zip" ones, or with `addName` those named after the task. An
// archive left without entries is deleted. Archives whose names hold no
// real day, and archives that cannot be read or rewritten, stay as they are.
//
// A task that has failed for longer than `days` would lose its last good
// dump this way, so when no archive dated within the period holds the
// task's entry, the entry in the newest archive that holds it is kept.
//
// Reports nothing and never throws.
void RotateArchives(const std::string& dumpIB, const std::string& taskName, bool addName, int days);

// The same with a given today.
void RotateArchives(const std::string& dumpIB, const std::string& taskName, bool addName, int days,
                    const TDate& today);

}  // namespace ns
