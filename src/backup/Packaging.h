#pragma once
// Packing a task's dump into the day's archive of its archive folder.
#include <string>

#include "backup/DateTime.h"
#include "zip/FileSystem.h"
#include "zip/ZipWriter.h"

namespace ns {

struct TPackOutcome {
  bool Packed = false;
  // When not packed: why, in words for the task's log.
  std::string Failure;
  // When packed: the archive's path.
  std::string Archive = {};
  explicit operator bool() const { return Packed; }
};

// Adds `dumpFile` to the archive of the day in `dumpIB` ("1C8-yymmdd.zip",
// or "1C8-yymmdd-<taskName>.zip" with `addName`), creating the archive or
// updating it: the entry of the same name is replaced by this dump whatever
// the date stamps say, every other entry stays. The day is read from the clock now, so
// a dump finished after midnight lands in the new day's archive. Not packed
// when the archive could not be written, or when the dump cannot be read or
// is gone once the archive is free (then no archive is created or changed),
// or when the new entry does not
// read back from the disk as the dump was read for packing (its header, its
// inflated data and size, its CRC): the worker then records "Ошибка
// создания архива." with the reason. The dump file itself is left in place.
// Another process writing the same archive is waited for.
TPackOutcome PackDump(const std::string& dumpIB, const std::string& taskName, bool addName,
                      const std::string& dumpFile);

// The same for a given day, through a given file system, waiting for
// another writer of the archive at most `lockWaitMs`.
TPackOutcome PackDump(const std::string& dumpIB, const std::string& taskName, bool addName,
                      const std::string& dumpFile, const TDate& today,
                      TFileSystem& fileSystem = SystemFileSystem(), unsigned lockWaitMs = DefaultLockWaitMs);

}  // namespace ns
