#pragma once
// A file infobase as the stand-in makes it: a folder with the data file
// 1Cv8.1CD. The stand-in's own data file starts with a header of text,
//   [Standin Infobase]
//   State=Empty                  or Loaded, with the loaded dump's
//   Dump=<title>                 title, size, block count and CRC-32
//   DumpSize=<bytes>
//   Blocks=<count>
//   CRC32=<eight hex digits>
// padded with NUL bytes to 4 KiB; a loaded infobase holds the dump's bytes
// after it (a hole where the dump had one). The designer and the connector
// still take any data file as an infobase: tests make their own.
#include <cstdint>
#include <string>

namespace ns::standin {

inline constexpr size_t kInfobaseHeaderSize = 4096;
inline constexpr const char* kInfobaseHeaderSection = "Standin Infobase";

// The folder's path as the designer uses it: trailing backslashes go, a
// drive's root keeps its own.
std::string InfobaseFolder(std::string folder);

// Makes the folder (and any folder above it that is missing) and the data
// file of an empty infobase. Throws EStandinError when the folder cannot be
// made or already holds an infobase, which is never overwritten.
void CreateFileInfobase(const std::string& folder);

// Loads the dump into the file infobase in the folder, which must exist.
// The new data file is written beside the old one and replaces it only
// once the whole dump has been read and checked, so a damaged dump leaves
// the infobase as it was. Throws EStandinError with the designer's reason.
void LoadFileInfobase(const std::string& folder, const std::string& dumpPath);

// The size of the dump loaded into the infobase when its data file is the
// stand-in's own and was loaded; `fallback` otherwise. A dump of a loaded
// infobase is then as large as the dump it was loaded from.
uint64_t LoadedDumpSize(const std::string& folder, uint64_t fallback);

}  // namespace ns::standin
