#pragma once
// Compresses one segment of the input into deflate blocks that end
// byte-aligned, so that the outputs of consecutive segments, compressed one
// after another or at the same time on different threads, join into one
// valid stream. Each segment is primed with the window of input before it,
// so the joins cost almost nothing in size.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "zip/DeflateEncoder.h"
#include "zip/deflate/BitOutput.h"
#include "zip/deflate/BlockWriter.h"
#include "zip/deflate/IncompressibleProbe.h"
#include "zip/deflate/Levels.h"
#include "zip/deflate/MatchFinder.h"

namespace ns::deflate {

// Tunables.
// Input per segment: large enough that priming and the join (a few bytes)
// vanish against it, small enough that two threads share even a file of a
// few megabytes and the buffers stay small.
constexpr size_t kSegmentSize = size_t(1) << 20;
// The stream's first block always covers this much input (or all of it),
// so the ZIP writer can weigh a small file's compressed form against its
// stored form; 65535 is what one stored block holds.
constexpr size_t kFirstBlockCapacity = 65535;
// Bytes readable after the data for the word-sized loads of the match
// search and the probe.
constexpr size_t kInputPadding = 32;

struct TSegment {
  // The priming window, then the data, then kInputPadding zero bytes.
  // Left uninitialised: only the part a segment fills is ever read, and a
  // small file then touches (and pays page faults for) only that part.
  std::unique_ptr<uint8_t[]> input =
      std::make_unique_for_overwrite<uint8_t[]>(kWindowSize + kSegmentSize + kInputPadding);
  size_t windowSize = 0;
  size_t dataSize = 0;
  bool first = false;  // holds the stream's first block
  bool last = false;   // holds the stream's final block
  TOutputBuffer output;
  LiteralCounts firstBlockLiterals;  // set when `first`

  uint8_t* Data() { return input.get() + windowSize; }
};

class TSegmentCompressor {
 public:
  explicit TSegmentCompressor(const TLevelParams& params);
  void Compress(TSegment& segment);

 private:
  struct TSplitStats;
  size_t CompressRun(TSegment& segment, TBitOutput& out, size_t pos, size_t runEnd, size_t firstBlockEnd);
  void WeighLongKey(unsigned length, const uint8_t* base, size_t pos);
  size_t ParseBlock(const uint8_t* base, size_t pos, size_t runEnd, size_t minEnd, TSplitStats& stats);

  TLevelParams params_;
  // Set up (Restart) when a segment first needs it; its tables are large,
  // and writing them twice cost a small file more than compressing it.
  std::unique_ptr<TMatchFinder> finder_ = std::make_unique_for_overwrite<TMatchFinder>();
  std::unique_ptr<TIncompressibleProbe> probe_ = std::make_unique<TIncompressibleProbe>();
  std::unique_ptr<TSequence[]> sequences_;  // a block's worth, filled as it is parsed
  size_t sequenceCount_ = 0;
  uint32_t litLenFreq_[kNumLitLenSymbols];
  uint32_t distFreq_[kNumDistSymbols];
  // Matches since the long key was last weighed, how many of them were
  // shorter than eight bytes, and how many were of three.
  uint32_t keyMatches_ = 0;
  uint32_t keyShortMatches_ = 0;
  uint32_t keyThreeByteMatches_ = 0;
  // The weight of the windows of short matches in a row, and whether the
  // last window was mixed enough for the deeper 4-byte chain walk.
  uint32_t shortRun_ = 0;
  bool mixed_ = false;
};

}  // namespace ns::deflate
