#pragma once
// Reading an archive's entries back from the disk to prove them sound: the
// local header agrees with the central directory, the data inflates without
// error to exactly the recorded size, and its CRC-32 is the recorded one
// (and, for a file just packed, the one its data had when it was read).
// Entries that cannot be read back — encrypted, or packed by a method other
// than stored and deflated — are not sound either: nothing proves them.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zip/FileSystem.h"
#include "zip/Inflater.h"
#include "zip/ZipDirectory.h"

namespace ns {

// One archive opened to check its entries; its directory is read once.
class TZipChecker {
 public:
  // Throws EZipError when the file holds no readable directory, and the
  // file system's exception when it cannot be opened.
  TZipChecker(TFileSystem& fileSystem, const std::string& archivePath);

  // The entries in directory order, names as the archive stores them.
  const std::vector<TZipEntry>& Entries() const { return directory_.entries; }

  // Why `entry` (one of Entries()) is not sound, or nothing when it is. With
  // `expectedCrc` its data must have that CRC-32 as well. The data is handed
  // to `copyTo` (when given) as it is read, so that what is copied out is
  // exactly what was proven; a fault found later still makes the entry
  // unsound. Never throws for a fault of the archive or of reading it, nor for
  // one of `copyTo`: that is the reason returned.
  std::optional<std::string> Check(const TZipEntry& entry, std::optional<uint32_t> expectedCrc = std::nullopt,
                                   const TInflater::Sink& copyTo = nullptr);

  // The first entry named `entryName` (in the program's own form: ANSI code
  // page, either slash; compared as the writer compares names); null when
  // there is none.
  const TZipEntry* Find(const std::string& entryName) const;

  // Copies `entry` (one of Entries()) into the new file `outputPath` of
  // `fileSystem`, proving it on the way as Check does. Returns why it could
  // not — the entry is not sound, the file cannot be made or written — or
  // nothing when the file holds the entry's data. Whatever went wrong, no
  // partial file is left behind.
  std::optional<std::string> Extract(const TZipEntry& entry, TFileSystem& fileSystem, const std::string& outputPath);

 private:
  void CheckLocalHeader(const TZipEntry& entry, uint64_t& dataStart);
  void CheckData(const TZipEntry& entry, uint64_t dataStart, std::optional<uint32_t> expectedCrc,
                 const TInflater::Sink& copyTo);
  void CheckDataDescriptor(const TZipEntry& entry, uint64_t dataEnd);

  std::unique_ptr<TFile> file_;
  TZipDirectory directory_;
  TInflater inflater_;
  std::unique_ptr<uint8_t[]> buffer_;  // for stored data
};

// Checks the entry named `entryName` (as the archive stores it, like the
// names of ZipWriter::Written(), with `nameFlags` saying whether that is
// UTF-8; compared as the writer compares names) of
// the archive at `archivePath`, and no other. Returns why it is not sound —
// the archive cannot be read, holds no such entry, or the entry fails the
// check — or nothing when it is. Never throws for a fault of the archive.
std::optional<std::string> VerifyZipEntry(TFileSystem& fileSystem, const std::string& archivePath,
                                          const std::string& entryName, std::optional<uint32_t> expectedCrc,
                                          uint16_t nameFlags = 0);

}  // namespace ns
