#pragma once
// Reads a stand-in dump back the way the designer does before it loads one:
// the whole file, block by block, checking the layout described in
// DumpWriter.h and the CRC-32 in the tail block.
#include <cstdint>
#include <functional>
#include <string>

namespace ns::standin {

struct TDumpSummary {
  std::string Title;    // from the header block
  uint64_t Size = 0;    // of the file
  uint64_t Blocks = 0;  // the tail included
  uint32_t Crc = 0;     // the integrity field, as checked
};

// Called with every piece of the file in order, as read; a piece that was
// read as zeros only is passed as `data` == nullptr, so a writer can leave
// it a hole.
using TDumpConsumer = std::function<void(const char* data, size_t size)>;

// Throws EStandinError with the reason, in the designer's words, when the
// file cannot be read, is damaged or is cut short.
TDumpSummary ReadDump(const std::string& path, const TDumpConsumer& consumer);

}  // namespace ns::standin
