#pragma once
// Reading the central directory of an existing archive: the end record found
// by a backward search from the end of the file, the ZIP64 end record when
// the classic one points to it, then the central headers one by one. Every
// value is checked against the file before it is used, so a damaged archive
// ends in EZipError and never in a read outside the file.
#include <cstdint>
#include <string>
#include <vector>

#include "zip/FileSystem.h"
#include "zip/ZipFormat.h"

namespace ns {

struct TZipDirectory {
  std::vector<TZipEntry> entries;
  std::string comment;  // the archive's comment, kept by an update
  uint64_t offset = 0;  // where the directory starts; the entries' data lies before it
};

// Throws EZipError "Incomplete Zip File" when the file holds no end record.
TZipDirectory ReadZipDirectory(TFile& file);

// Exactly `size` bytes of the archive from `position`; EZipError "Damaged Zip
// File" when the file ends first.
void ReadArchiveBytes(TFile& file, uint64_t position, uint8_t* buffer, size_t size);

}  // namespace ns
