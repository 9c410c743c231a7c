#pragma once
// The second copy of the day's archive, in a folder of its own (another disk,
// a share), so that the backup outlives the server's disk. The archive is
// copied under a temporary name, flushed, proven (the task's entry read back
// through the inflater) and only then put in place: a copy that fails leaves
// the folder as it was.
#include <optional>
#include <string>

#include "zip/FileSystem.h"
#include "zip/ZipWriter.h"

namespace ns {

// Copies `archive` into `copyFolder` under its own name and proves the entry
// `entryName` there. An archive of that name already in the folder is
// replaced only when everything it holds is in the new one too: one that
// holds another task's dump (two tasks with one copy folder but archive
// folders of their own) is left as it is, and the copy fails. Returns why
// the copy failed, in words for the task's log, or nothing.
std::optional<std::string> CopyArchive(TFileSystem& fileSystem, const std::string& archive,
                                       const std::string& copyFolder, const std::string& entryName,
                                       unsigned lockWaitMs = DefaultLockWaitMs);

}  // namespace ns
