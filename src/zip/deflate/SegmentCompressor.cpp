#include "zip/deflate/SegmentCompressor.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace ns::deflate {
namespace {

// Tunables.
// Blocks end by the statistics of their symbols (below), but never before
// this much input, where a new Huffman header would cost more than it saves,
// and never after the soft maximum, which bounds the sequence buffer.
constexpr size_t kMinBlockLength = 10000;
constexpr size_t kMaxBlockLength = 256 * 1024;
// Symbols observed between two checks of the block statistics.
constexpr uint32_t kObservationsPerCheck = 512;
// How far (out of 512) the recent symbol mix must stray from the block's to
// end it. In machine code and table pages the mix of a few hundred symbols
// swings widely with the section they fall in, without a new set of codes
// paying for its header; a block ends on a change of kind of data only.
constexpr uint64_t kSplitCutoff = 400;
// A match of 3 bytes further away than this costs about as much as its
// literals.
constexpr unsigned kMaxDistanceOfShortest = 4096;
// The long chains' key is weighed after this many matches. The share of
// matches under eight bytes is stable over a thousand of them: about 0.85
// in machine code, 0.5-0.6 in table pages, under 0.35 in text and dumps.
constexpr uint32_t kKeyWindow = 1024;
// Shares from which the 4-byte key is taken, and below which the 8-byte key
// comes back (out of 1024). Only data of the shortest matches switches:
// elsewhere the 8-byte chains find the long matches in fewer steps. The gap
// keeps a mixed stretch from switching back and forth.
constexpr uint32_t kShortKeyFrom = 760;
constexpr uint32_t kLongKeyBelow = 660;
// The 4-byte key is taken only once windows of short matches have run
// long enough: each counts one, or four where nearly all its matches are
// short (from kVeryShortFrom), and any other window starts the count anew.
// Real executables and libraries mix code with tables and strings, whose
// long matches only the 8-byte chains reach; the runs of short matches
// among them are short and rarely very short. Every segment starts under
// the 8-byte key, and a segment of code throughout switches after two of
// its windows (of about a hundred). Waiting for eight cost 5 % of the time
// on machine code and saved 0.1 % in size on real executables and
// libraries.
constexpr uint32_t kShortRunToSwitch = 8;
constexpr uint32_t kVeryShortFrom = 896;
constexpr uint32_t kVeryShortWeight = 4;
// Under the 4-byte key 3-byte matches are not searched (see the match
// finder), so only windows where fewer than this many of the matches (out
// of 1024) are of three bytes count towards it. In machine code they are
// under a fifth; the libraries' tables of small numbers, where they are
// most of the matches, keep the 8-byte key.
constexpr uint32_t kThreeByteBelow = 205;
// From this share the 8-byte key's 4-byte chains walk the level's
// mixedDepth: most matches are short there, and mixed data finds them
// further back than the usual few steps.
constexpr uint32_t kMixedFrom = 640;
// The worth of a match against the one a byte later, in about bits: each
// byte it covers saves about six bits of literals, and its distance costs
// one extra bit more with each doubling. Where the lengths alone decided,
// a longer match far away often replaced a shorter one close by for no
// gain (0.1-0.2 % larger on libraries, DLLs and documentation).
constexpr int kWorthPerByte = 6;
int MatchWorth(unsigned length, unsigned distance) {
  return static_cast<int>(length) * kWorthPerByte - static_cast<int>(std::bit_width(distance));
}
// Worst case: every sequence a 3-byte match, plus the trailing literals.
constexpr size_t kMaxSequences = (kMaxBlockLength + kMaxMatch) / kMinMatch + 2;

}  // namespace

// Symbol statistics of the current block, coarse enough to compare cheaply:
// eight classes of literals and two of match lengths. When the recent
// symbols differ enough from the block so far, a new block (with its own
// Huffman codes) pays off.
struct TSegmentCompressor::TSplitStats {
  static constexpr unsigned kTypes = 10;
  uint32_t seen[kTypes] = {};
  uint32_t recent[kTypes] = {};
  uint32_t numSeen = 0;
  uint32_t numRecent = 0;

  void Literal(uint8_t b) {
    ++recent[((b >> 5) & 6) | (b & 1)];
    ++numRecent;
  }
  void Match(unsigned length) {
    ++recent[8 + (length >= 9)];
    ++numRecent;
  }
  bool Due() const { return numRecent >= kObservationsPerCheck; }

  // True when the block should end here; else takes the recent symbols in.
  bool ShouldEnd(size_t blockLength) {
    if (numSeen > 0) {
      uint64_t delta = 0;
      for (unsigned i = 0; i < kTypes; ++i) {
        const int64_t expected = int64_t(seen[i]) * numRecent;
        const int64_t actual = int64_t(recent[i]) * numSeen;
        delta += static_cast<uint64_t>(actual > expected ? actual - expected : expected - actual);
      }
      const uint64_t items = uint64_t(numSeen) + numRecent;
      uint64_t cutoff = uint64_t(numRecent) * kSplitCutoff / 512 * numSeen;
      if (blockLength < 10000 && items < 8192) cutoff += cutoff * (8192 - items) / 8192;
      if (delta + (blockLength / 4096) * numSeen >= cutoff) return true;
    }
    for (unsigned i = 0; i < kTypes; ++i) {
      seen[i] += recent[i];
      recent[i] = 0;
    }
    numSeen += numRecent;
    numRecent = 0;
    return false;
  }
};

TSegmentCompressor::TSegmentCompressor(const TLevelParams& params)
    : params_(params), sequences_(std::make_unique_for_overwrite<TSequence[]>(kMaxSequences)) {}

void TSegmentCompressor::Compress(TSegment& segment) {
  segment.output.Clear();
  segment.firstBlockLiterals = {};
  TBitOutput out(segment.output);
  if (segment.dataSize == 0) {
    // Only an empty stream has an empty segment.
    WriteEmptyFinalBlock(out);
    return;
  }
  const uint8_t* base = segment.input.get();
  std::memset(segment.input.get() + segment.windowSize + segment.dataSize, 0, kInputPadding);
  const size_t start = segment.windowSize;
  const size_t end = start + segment.dataSize;

  probe_->Reset();
  // The match finder is set up, with the window before the segment, only
  // when compressible data turns up, and only with the part of the window
  // that matches from there can reach: stored data never pays for it.
  bool finderReady = false;
  auto prepareFinder = [&](size_t from) {
    if (finderReady) return;
    finderReady = true;
    keyMatches_ = keyShortMatches_ = keyThreeByteMatches_ = shortRun_ = 0;
    mixed_ = false;
    finder_->Restart(TMatchFinder::TLongKey::Eight, base,
                     static_cast<int32_t>(from > kWindowSize ? from - kWindowSize : 0), static_cast<int32_t>(start));
  };

  // The first block is compressed whatever it holds; the rest is classified
  // chunk by chunk, in order, as the runs are found: a stored run is then
  // copied while the probe has just brought it into the cache.
  const size_t firstBlockEnd = segment.first ? start + std::min(segment.dataSize, kFirstBlockCapacity) : start;
  // `p` is the first block's start or a chunk's: chunks follow the first
  // block back to back.
  auto isRaw = [&](size_t p) {
    if (p < firstBlockEnd) return false;
    return probe_->IsIncompressible(base, static_cast<int32_t>(p), std::min(kProbeChunkSize, end - p));
  };
  auto nextChunk = [&](size_t p) { return std::min(end, p + kProbeChunkSize); };

  size_t pos = start;
  bool raw = isRaw(pos);
  while (pos < end) {
    // Each chunk is probed once: the first one of the next run is its kind.
    size_t runEnd = pos < firstBlockEnd ? firstBlockEnd : nextChunk(pos);
    bool next = false;
    while (runEnd < end && (next = isRaw(runEnd)) == raw) runEnd = nextChunk(runEnd);
    if (raw) {
      WriteStoredBlocks(out, base + pos, runEnd - pos, segment.last && runEnd == end);
      pos = runEnd;
    } else {
      prepareFinder(pos);
      pos = CompressRun(segment, out, pos, runEnd, firstBlockEnd);
    }
    raw = next;
  }
  if (segment.last) out.AlignToByte();
  else AlignStream(out);
}

size_t TSegmentCompressor::CompressRun(TSegment& segment, TBitOutput& out, size_t pos, size_t runEnd,
                                       size_t firstBlockEnd) {
  const uint8_t* base = segment.input.get();
  const size_t end = segment.windowSize + segment.dataSize;
  while (pos < runEnd) {
    const bool firstBlock = segment.first && pos == segment.windowSize;
    TSplitStats stats;
    const size_t blockStart = pos;
    pos = ParseBlock(base, pos, runEnd, firstBlock ? firstBlockEnd : pos + kMinBlockLength, stats);
    const TBlockData block{base + blockStart, pos - blockStart, sequences_.get(), sequenceCount_,
                           litLenFreq_, distFreq_};
    const TBlockType type = WriteBlock(out, block, segment.last && pos == end);
    if (firstBlock) {
      // A stored block holds every byte as a literal.
      uint32_t storedCounts[256] = {};
      if (type == TBlockType::Stored)
        for (size_t i = blockStart; i < pos; ++i) ++storedCounts[base[i]];
      const uint32_t* counts = type == TBlockType::Stored ? storedCounts : litLenFreq_;
      LiteralCounts& result = segment.firstBlockLiterals;
      for (unsigned b = 0; b < 256; ++b) (b >= 7 && b < 128 ? result.text : result.binary) += counts[b];
    }
  }
  return pos;
}

void TSegmentCompressor::WeighLongKey(unsigned length, const uint8_t* base, size_t pos) {
  keyShortMatches_ += length < 8;
  keyThreeByteMatches_ += length == 3;
  if (++keyMatches_ < kKeyWindow) return;
  const uint32_t share = keyShortMatches_ * 1024 / kKeyWindow;
  const uint32_t threeByteShare = keyThreeByteMatches_ * 1024 / kKeyWindow;
  using TKey = TMatchFinder::TLongKey;
  shortRun_ = share < kShortKeyFrom || threeByteShare >= kThreeByteBelow
                  ? 0
                  : shortRun_ + (share >= kVeryShortFrom ? kVeryShortWeight : 1);
  if (shortRun_ >= kShortRunToSwitch) finder_->SetLongKey(TKey::Four, base, static_cast<int32_t>(pos));
  else if (share < kLongKeyBelow) finder_->SetLongKey(TKey::Eight, base, static_cast<int32_t>(pos));
  mixed_ = share >= kMixedFrom;
  keyMatches_ = keyShortMatches_ = keyThreeByteMatches_ = 0;
}

// One block of sequences from `pos`: lazy matching over the hash chains.
// Matches never reach past runEnd; the block ends at runEnd, at the soft
// maximum, or where the split statistics say so once minEnd is passed.
size_t TSegmentCompressor::ParseBlock(const uint8_t* base, size_t pos, size_t runEnd, size_t minEnd,
                                      TSplitStats& stats) {
  std::memset(litLenFreq_, 0, sizeof litLenFreq_);
  std::memset(distFreq_, 0, sizeof distFreq_);
  TMatchFinder& finder = *finder_;
  TSequence* seq = sequences_.get();
  uint32_t literals = 0;
  const size_t blockStart = pos;
  const size_t hardEnd = std::min(runEnd, blockStart + kMaxBlockLength);
  const unsigned nice = params_.niceLength;
  const unsigned lazyLength = std::min(params_.lazyLength, params_.niceLength);
  const unsigned fourLazyLength = std::min(params_.fourLazyLength, params_.niceLength);

  auto literal = [&](size_t at) {
    const uint8_t b = base[at];
    ++litLenFreq_[b];
    stats.Literal(b);
    ++literals;
  };

  while (pos < hardEnd) {
    if (stats.Due() && pos >= minEnd && stats.ShouldEnd(pos - blockStart)) break;
    size_t avail = runEnd - pos;
    if (avail < 4) {
      literal(pos++);
      continue;
    }
    unsigned maxLen = static_cast<unsigned>(std::min<size_t>(avail, kMaxMatch));
    unsigned dist = 0;
    // The key may change after any match.
    const bool four = finder.LongKey() == TMatchFinder::TLongKey::Four;
    const unsigned longDepth = four ? params_.fourDepth : params_.longDepth;
    const unsigned depth = mixed_ ? params_.mixedDepth : params_.searchDepth;
    unsigned len = finder.Find(base, static_cast<int32_t>(pos), maxLen, std::min(nice, maxLen), depth, longDepth, 2, &dist);
    if (len < kMinMatch || (len == kMinMatch && dist > kMaxDistanceOfShortest)) {
      literal(pos++);
      continue;
    }
    size_t matchStart = pos;
    size_t inserted = pos + 1;  // positions below this are in the finder
    if (params_.lazy) {
      // Take a longer match one byte later, leaving a literal, as long as
      // one keeps turning up.
      while (len < (four ? fourLazyLength : lazyLength)) {
        const size_t next = matchStart + 1;
        avail = runEnd - next;
        if (avail < 4) break;
        maxLen = static_cast<unsigned>(std::min<size_t>(avail, kMaxMatch));
        unsigned nextDist = 0;
        // A good match already in hand is worth only a quick look past it.
        // Where matches run short (the long chains keyed by four bytes),
        // a shorter one already counts as good: a quarter of the usual
        // look ahead measured the same size there.
        const unsigned good = four ? params_.goodLength * 3 / 4 : params_.goodLength;
        const unsigned shift = len >= good ? 2 : 0;
        const unsigned nextLen = finder.Find(base, static_cast<int32_t>(next), maxLen, std::min(nice, maxLen),
                                             std::max(1u, depth >> shift), std::max(1u, longDepth >> shift), len,
                                             &nextDist);
        inserted = next + 1;
        // The later match must be longer, and worth more than the one in
        // hand by more than one: the literal it leaves costs about what the
        // byte more it covers saves, and a gain of a bit or less measured
        // no better than keeping the match in hand.
        if (nextLen <= len || MatchWorth(nextLen, nextDist) <= MatchWorth(len, dist) + 1) break;
        literal(matchStart);
        matchStart = next;
        len = nextLen;
        dist = nextDist;
      }
    }
    *seq++ = TSequence{literals, static_cast<uint16_t>(len), static_cast<uint16_t>(dist)};
    literals = 0;
    ++litLenFreq_[257 + kLengthSlot[len]];
    ++distFreq_[DistSlot(dist)];
    stats.Match(len);
    pos = matchStart + len;
    finder.InsertRange(base, static_cast<int32_t>(inserted), static_cast<int32_t>(pos));
    if (params_.adaptiveLongKey) WeighLongKey(len, base, pos);
  }
  *seq++ = TSequence{literals, 0, 0};
  sequenceCount_ = static_cast<size_t>(seq - sequences_.get());
  litLenFreq_[kEndOfBlock] = 1;
  return pos;
}

}  // namespace ns::deflate
