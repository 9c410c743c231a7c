#pragma once
// The stand-in's dump: a container of blocks that packs like a real dump.
// Most blocks carry pseudo-random bytes (a real dump's content is already
// compressed), every eighth a structured text record, which compresses
// well. The bytes depend only on the seed, so dumps of one infobase are
// identical; the file is produced in small pieces, whatever its size.
//
// Block layout: "SDT" + kind ('H' header, 'R' record, 'D' data, 'T' tail),
// the payload length (4 bytes, little-endian), the block number (8 bytes,
// little-endian, counting from 0), then the payload. The header block comes
// first; its payload is
//   {"Выгрузка информационной базы","<title>","8.3.0"}CR LF
// The tail block comes last and ends the file exactly at the configured
// size (the data block before it is shortened to make room); its payload is
//   {"Окончание выгрузки","<title>","<CRC>"}CR LF
// where <CRC> is the CRC-32 of every byte before the tail block in eight
// upper-case hexadecimal digits: the integrity field the designer checks
// when it loads a dump. A size too small for the header and the tail block
// gives a dump cut at that size, which no designer loads.
//
// A sparse dump keeps the layout: the hole in its middle is the zero
// payload of one or more data blocks, whose 16-byte headers are all that is
// written there.
#include <windows.h>

#include <cstdint>
#include <string>

namespace ns::standin {

struct TDumpOptions {
  std::string Title;        // goes into the header and the tail block
  uint64_t Size = 0;        // exact size of the file
  uint64_t Seed = 0;
  DWORD SlowMilliseconds = 0;  // spread over the dump in ten pauses
  // Writes only the first and the last part and leaves the rest a hole
  // (zeros), so a dump of several gigabytes costs no disk space.
  bool Sparse = false;
  // Inverts the byte in the middle of the written file, after the integrity
  // field was computed: a dump the designer wrote but cannot load.
  bool Damaged = false;
};

// Writes all of `data` to `file`, in pieces the system takes whole; throws
// EWin32Error when it cannot.
void WriteAll(HANDLE file, const char* data, size_t size);

// Throws EWin32Error when the file cannot be written; a partial file is
// removed.
void WriteDump(const std::string& path, const TDumpOptions& options);

// A seed that follows the text (an infobase's address) without regard to
// letter case.
uint64_t SeedOf(const std::string& text);

// The texts the header and the tail block are made of, for the reader.
inline constexpr const char* kDumpHeaderStart = "{\"Выгрузка информационной базы\",\"";
inline constexpr const char* kDumpTailStart = "{\"Окончание выгрузки\",\"";
inline constexpr size_t kDumpBlockHeaderSize = 16;

}  // namespace ns::standin
