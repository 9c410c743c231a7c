#pragma once
// The ZIP archive writer: adds files to an archive, removes entries from it
// and counts them. One object serves one operation and is then discarded.
//
// An existing archive is never changed in place: the new one is written
// beside it under a temporary name, flushed to the disk and then moved over
// it in one step, so the archive's name always holds either the complete old
// archive or the complete new one, and a failure leaves the old archive and
// no temporary file behind.
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

class ZipWriter {
 public:
  explicit ZipWriter(TFileSystem& fileSystem = SystemFileSystem()) : fileSystem_(fileSystem) {}

  std::string ZipName;                 // full path of the archive
  std::vector<std::string> FilesList;  // Zip: paths of files; DeleteEntries: entry names
  int PackLevel = 6;
  TZipAction ZipAction = zaUpdate;
  bool StorePaths = false;  // entry names keep the folders of the paths (less the drive)
  bool Recurse = false;     // an item naming a folder stands for every file below it

  // Adds the files of FilesList to the archive, creating it when it does not
  // exist. Returns how many were written as entries (new or replacing);
  // missing or unopenable files are skipped. Throws when the archive cannot
  // be read or written.
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
  TFileSystem& fileSystem_;
  std::vector<TZipEntry> entries_;
  std::vector<TZipEntry> written_;
};

}  // namespace ns
