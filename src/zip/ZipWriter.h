#pragma once
// The ZIP archive writer: adds files to an archive, removes entries from it
// and counts them. One object serves one operation and is then discarded.
//
// An existing archive is never changed in place: the new one is written
// beside it under a temporary name, flushed to the disk and then moved over
// it in one step, so the archive's name always holds either the complete old
// archive or the complete new one, and a failure leaves the old archive and
// no temporary file behind.
//
// Writers of one archive take turns: each holds a lock beside the archive
// from reading it to moving the new one into place, so a second writer
// (another process, another user) waits and then works on the archive the
// first one left, instead of dropping what the first one added. Holding the
// lock, a writer also removes the temporary files of writers that died
// before they could (their names, "<archive>.tmp" and "<archive>.N.tmp", are
// made by no one else).
#include <string>
#include <vector>

#include "zip/FileSystem.h"
#include "zip/ZipFormat.h"

namespace ns {

// How a file meets an entry of the same name already in the archive.
enum TZipAction {
  zaUpdate,   // replace the entry when the file is newer; add files that are not there
  zaReplace,  // always replace the entry; add files that are not there
  zaFreshen,  // replace the entry when the file is newer; add nothing new
};

// A file of FilesList that could not be packed while SkipUnreadable is off.
class EUnreadableFile : public Exception {
 public:
  EUnreadableFile(std::string path, const std::string& reason)
      : Exception("Cannot read \"" + path + "\": " + reason), path_(std::move(path)), reason_(reason) {}
  const std::string& Path() const { return path_; }
  // The system's word on it.
  const std::string& Reason() const { return reason_; }

 private:
  std::string path_;
  std::string reason_;
};

// An entry just written did not read back from the disk as its file was
// read for packing.
class EUnsoundEntry : public Exception {
 public:
  EUnsoundEntry(const std::string& archive, std::string fault)
      : Exception("The archive \"" + archive + "\" does not read back: " + fault), fault_(std::move(fault)) {}
  // What was found wrong.
  const std::string& Fault() const { return fault_; }

 private:
  std::string fault_;
};

// Long enough for another writer of the archive to pack the largest dump.
inline constexpr unsigned DefaultLockWaitMs = 30 * 60 * 1000;

// Another writer held the archive for longer than LockWaitMs.
class EArchiveBusy : public Exception {
 public:
  explicit EArchiveBusy(const std::string& archive)
      : Exception("The archive \"" + archive + "\" is being written by another writer") {}
};

// Takes the lock that every writer of the archive `zipName` holds while it
// writes, waiting up to `waitMs` for another writer to let go. Throws
// EArchiveBusy when it does not.
std::unique_ptr<TLock> LockArchiveFile(TFileSystem& fileSystem, const std::string& zipName, unsigned waitMs);

class ZipWriter {
 public:
  explicit ZipWriter(TFileSystem& fileSystem = SystemFileSystem()) : fileSystem_(fileSystem) {}

  std::string ZipName;                 // full path of the archive
  std::vector<std::string> FilesList;  // Zip: paths of files; DeleteEntries: entry names
  int PackLevel = 6;
  TZipAction ZipAction = zaUpdate;
  bool StorePaths = false;  // entry names keep the folders of the paths (less the drive)
  bool Recurse = false;     // an item naming a folder stands for every file below it
  // True: a file of FilesList that is missing or cannot be opened is passed
  // over. False: it is an error (EUnreadableFile), raised before anything is
  // written, for a caller whose whole point is that one file.
  bool SkipUnreadable = true;
  // How long to wait for another writer of the same archive.
  unsigned LockWaitMs = DefaultLockWaitMs;
  // True: Zip reads every entry it wrote back from the disk, while it still
  // holds the archive, and throws EUnsoundEntry when one is not as its file
  // was read for packing.
  bool CheckWritten = false;

  // The file beside an archive that its writers lock.
  static std::string LockPath(const std::string& zipName) { return zipName + ".lock"; }
  // The most by which a name the writer makes beside the archive is longer
  // than the archive's own.
  static constexpr size_t kLongestSuffix = 7;

  // Adds the files of FilesList to the archive, creating it when it does not
  // exist. Returns how many were written as entries (new or replacing);
  // missing or unopenable files are skipped unless SkipUnreadable is off,
  // also when they go missing while the archive is waited for.
  // Throws when the archive cannot be read or written.
  int Zip();
  // After Zip: the entries it wrote from files, with the CRC-32 of each
  // file's data as it was read for packing, to check the archive against
  // once it is on the disk.
  const std::vector<TZipEntry>& Written() const { return written_; }

  // Removes the entries whose names are listed in FilesList. Returns how
  // many were removed. Throws when the archive cannot be read or written.
  int DeleteEntries();

  // Loads the archive's central directory.
  void ReadZip();
  // After ReadZip: the number of entries.
  int Count() const { return static_cast<int>(entries_.size()); }
  // After ReadZip: the entries, names as the archive stores them.
  const std::vector<TZipEntry>& Entries() const { return entries_; }
  // An entry's name in the program's own form: ANSI code page, backslashes.
  static std::string DisplayName(const TZipEntry& entry);

 private:
  std::unique_ptr<TLock> LockArchive();

  TFileSystem& fileSystem_;
  std::vector<TZipEntry> entries_;
  std::vector<TZipEntry> written_;
};

}  // namespace ns
