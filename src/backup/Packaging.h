#pragma once
// Packing a task's dump into the day's archive of its archive folder.
#include <string>

#include "backup/DateTime.h"

namespace ns {

// Adds `dumpFile` to the archive of the day in `dumpIB` ("1C8-yymmdd.zip",
// or "1C8-yymmdd-<taskName>.zip" with `addName`), creating the archive or
// updating it: an entry of the same name is replaced unless it is as new as
// the file, every other entry stays. The day is read from the clock now, so
// a dump finished after midnight lands in the new day's archive. False when
// the archive could not be written (the worker then records "Ошибка
// создания архива."); the dump file itself is left in place.
bool PackDump(const std::string& dumpIB, const std::string& taskName, bool addName, const std::string& dumpFile);

// The same for a given day.
bool PackDump(const std::string& dumpIB, const std::string& taskName, bool addName, const std::string& dumpFile,
              const TDate& today);

}  // namespace ns
