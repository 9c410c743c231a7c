#pragma once
// The stand-in's dump: a container of blocks that packs like a real dump.
// Most blocks carry pseudo-random bytes (a real dump's content is already
// compressed), every eighth a structured text record, which compresses
// well. The bytes depend only on the seed, so dumps of one infobase are
// identical; the file is produced in small pieces, whatever its size.
//
// Block layout: "SDT" + kind ('H' header, 'R' record, 'D' data, 'T' tail),
// the payload length (4 bytes, little-endian), the block number (8 bytes,
// little-endian), then the payload. A dump is cut at its configured size.
#include <windows.h>

#include <cstdint>
#include <string>

namespace ns::standin {

struct TDumpOptions {
  std::string Title;        // goes into the header block
  uint64_t Size = 0;        // exact size of the file
  uint64_t Seed = 0;
  DWORD SlowMilliseconds = 0;  // spread over the dump in ten pauses
  // Writes only the first and the last part and leaves the rest a hole
  // (zeros), so a dump of several gigabytes costs no disk space.
  bool Sparse = false;
};

// Throws EWin32Error when the file cannot be written; a partial file is
// removed.
void WriteDump(const std::string& path, const TDumpOptions& options);

// A seed that follows the text (an infobase's address) without regard to
// letter case.
uint64_t SeedOf(const std::string& text);

}  // namespace ns::standin
