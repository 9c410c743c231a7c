#pragma once
// Writes deflate blocks. For every block the exact sizes of the dynamic,
// static and stored forms are computed and the smallest is written.
#include <cstddef>
#include <cstdint>

#include "zip/deflate/BitOutput.h"

namespace ns::deflate {

// A run of literals followed by one match; the last sequence of a block
// has length 0 and carries only the trailing literals.
struct TSequence {
  uint32_t literals;
  uint16_t length;
  uint16_t distance;
};

struct TBlockData {
  const uint8_t* data;  // the block's input
  size_t size;
  const TSequence* sequences;
  size_t count;
  const uint32_t* litLenFreq;  // 288 counts; the end-of-block symbol included
  const uint32_t* distFreq;    // 32 counts
};

enum class TBlockType { Stored, Static, Dynamic };

TBlockType WriteBlock(TBitOutput& out, const TBlockData& block, bool final);

// `size` bytes as stored blocks of at most 65535 bytes; an empty final
// block when size is 0 and `final` is set.
void WriteStoredBlocks(TBitOutput& out, const uint8_t* data, size_t size, bool final);

// Leaves the stream byte-aligned after non-final blocks, with an empty
// stored block when bits are pending, so that another stream's blocks can
// follow directly.
void AlignStream(TBitOutput& out);

// A final static block with nothing but the end-of-block symbol: the whole
// stream of empty input.
void WriteEmptyFinalBlock(TBitOutput& out);

}  // namespace ns::deflate
