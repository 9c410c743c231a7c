#include "backup/Rotation.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "backup/ArchiveNaming.h"
#include "backup/LocalClock.h"
#include "win/UniqueHandle.h"
#include "zip/EntryName.h"
#include "zip/ZipWriter.h"

namespace ns {

namespace {

struct TArchive {
  std::string path;
  TDate date;
};

// The task's dated archives in the folder, in the order the system lists
// them. Directories are not archives; files of any attributes are.
std::vector<TArchive> DatedArchives(const std::string& folder, const std::string& taskName, bool addName,
                                    int currentYear) {
  std::vector<TArchive> archives;
  WIN32_FIND_DATAA found;
  UniqueFind search(FindFirstFileA((folder + RotationPattern(taskName, addName)).c_str(), &found));
  if (!search) return archives;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = found.cFileName;
    if (!IsRotationCandidate(name, taskName, addName)) continue;
    if (std::optional<TDate> date = ArchiveNameDate(name, currentYear)) archives.push_back({folder + name, *date});
  } while (FindNextFileA(search.get(), &found));
  return archives;
}

// Names compare by what they say, whichever code the archive stores them in.
bool HoldsEntry(const ZipWriter& archive, const std::string& entryName) {
  const std::string key = EntryNameKey(StoreEntryName(entryName));
  return std::any_of(archive.Entries().begin(), archive.Entries().end(),
                     [&](const TZipEntry& entry) { return EntryNameKey(entry) == key; });
}

// Whether the archive holds an entry of this name; false for an archive that
// cannot be read.
bool HoldsEntry(const std::string& path, const std::string& entryName) {
  try {
    ZipWriter archive;
    archive.ZipName = path;
    archive.ReadZip();
    return HoldsEntry(archive, entryName);
  } catch (const std::exception&) {
    return false;
  }
}

// The archive whose entry survives although it is outdated: the newest one
// that holds the entry, when no archive within the retention period (or
// dated after today, which is never outdated) holds it. Null when rotation
// may take every outdated entry.
const TArchive* LastGoodDump(const std::vector<TArchive>& archives, const std::string& entryName,
                             const TDate& today, int days) {
  const TArchive* newest = nullptr;
  for (const TArchive& archive : archives) {
    if (!HoldsEntry(archive.path, entryName)) continue;
    if (!IsOutdated(archive.date, today, days)) return nullptr;
    if (!newest || archive.date > newest->date) newest = &archive;
  }
  return newest;
}

void RemoveEntry(const std::string& path, const std::string& entryName) {
  try {
    ZipWriter pruning;
    pruning.ZipName = path;
    pruning.ReadZip();
    int left = pruning.Count();
    // An archive shared with other tasks may not hold this one's entry:
    // rewriting it would copy their dumps every night for nothing.
    if (HoldsEntry(pruning, entryName)) {
      pruning.FilesList.push_back(entryName);
      left -= pruning.DeleteEntries();
    }
    if (left == 0) DeleteFileA(path.c_str());
  } catch (const std::exception&) {
    // The archive stays as it is; the others are still pruned.
  }
}

}  // namespace

void RotateArchives(const std::string& dumpIB, const std::string& taskName, bool addName, int days) {
  RotateArchives(dumpIB, taskName, addName, days, LocalNow().Date);
}

void RotateArchives(const std::string& dumpIB, const std::string& taskName, bool addName, int days,
                    const TDate& today) {
  try {
    std::string entryName = DumpEntryName(taskName);
    std::vector<TArchive> archives = DatedArchives(ArchiveFolderPath(dumpIB), taskName, addName, today.Year);
    const TArchive* kept = LastGoodDump(archives, entryName, today, days);
    for (const TArchive& archive : archives) {
      if (&archive == kept || !IsOutdated(archive.date, today, days)) continue;
      RemoveEntry(archive.path, entryName);
    }
  } catch (...) {
    // Rotation is housekeeping: nothing it meets may fail the run.
  }
}

}  // namespace ns
