#pragma once
// Builds one archive front to back: new entries from files, entries copied
// from an existing archive, then the central directory and the end records.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "zip/EntryName.h"
#include "zip/FileSystem.h"
#include "zip/ZipFormat.h"
#include "zip/ZipOutput.h"

namespace ns {

class TZipBuilder {
 public:
  TZipBuilder(TFileSystem& fileSystem, TFile& output, int level);

  // Writes the file at `path` as the entry `name`. Returns false, having
  // written nothing, when the file cannot be opened; a failure after that
  // throws.
  bool AddFile(const std::string& path, const TFileStatus& status, const TStoredName& name);

  // Copies `entry` of the archive `source` unchanged: its local header is
  // rebuilt from the directory's values, its data copied byte for byte. The
  // data must lie before `dataEnd` (where that archive's directory starts).
  void CopyEntry(TFile& source, uint64_t dataEnd, const TZipEntry& entry);

  // The entry written or copied last, as the directory will record it: for
  // one from a file, the CRC-32 is that of the data as it was read.
  const TZipEntry& Last() const { return entries_.back(); }

  // Whether an entry of this name (an EntryNameKey) is in.
  bool Holds(const std::string& key) const { return names_.count(key) != 0; }

  // Writes the central directory and the end records.
  void Finish(const std::string& comment);

 private:
  void Compress(TFile& input, TZipEntry& entry);
  void Add(TZipEntry entry);

  TFileSystem& fileSystem_;
  TZipOutput output_;
  int level_;
  std::vector<uint8_t> buffer_;
  std::vector<TZipEntry> entries_;
  std::set<std::string> names_;
};

}  // namespace ns
