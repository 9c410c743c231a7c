#include "zip/deflate/IncompressibleProbe.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "zip/deflate/DeflateTables.h"
#include "zip/deflate/MatchFinder.h"

namespace ns::deflate {
namespace {

// Tunables.
// Order-0 entropy, in bits per byte, from which literals alone could save
// too little to pay for a Huffman header (below 1.3%), as measured on a
// full chunk. Random bytes measure about 7.95 there: the estimate runs low
// on a finite sample, by about 255 / (2 n ln 2) bits for n bytes, and the
// threshold for a sample of another size moves with it.
// Text sits near 4.5-5, machine code near 6-6.5.
constexpr double kEntropyThreshold = 7.90;
double ThresholdFor(size_t sampled) {
  const double lowBy = 255 / (2 * std::log(2.0));
  return kEntropyThreshold + lowBy / kProbeChunkSize - lowBy / double(sampled);
}
// A full chunk is judged by half its bytes: 32 of its 64 lines of 64 bytes,
// picked irregularly so that no layout that repeats every 128 bytes, or
// every other power of two, shows the sample only one of its parts.
// Counting is most of the probe's work, and half the bytes judge random
// data as surely as all of them. Half of those lines, as irregular, are
// counted first: data random to them is random, which is nearly all the
// probe ever stores; the rest of the sample decides the other cases.
constexpr size_t kLineSize = 64;
constexpr uint64_t kFirstLines = 0x039030C84004A812ull;
constexpr uint64_t kSampledLines = 0x07F172CAD486E91Eull;
static_assert(kProbeChunkSize == 64 * kLineSize && __builtin_popcountll(kSampledLines) == 32 &&
              __builtin_popcountll(kFirstLines) == 16 && (kFirstLines & ~kSampledLines) == 0);
// Shorter chunks are left to the compressor: their estimate is too noisy.
constexpr size_t kMinProbeSize = 1024;
// Repeats are looked for after anchor bytes only, which appear at the same
// places of repeated content wherever it lies; uniform data has one every
// 256 bytes on average. The value itself is arbitrary.
constexpr uint8_t kAnchorByte = 0xA7;
// Repeats found covering this share of the chunk (1/32) are worth the match
// search after all.
constexpr unsigned kRepeatShareShift = 5;
// A candidate repeat must be at least this long to count.
constexpr unsigned kMinRepeat = 16;

constexpr int32_t kNoAnchor = -(1 << 30);

// n * log2(n) for every count a probed stretch of up to this length can
// hold: the entropy sum is then table look-ups, where 256 calls of log2
// per stretch cost as much as counting its bytes.
constexpr size_t kTabulatedSize = kProbeChunkSize;
const std::array<float, kTabulatedSize + 1> kNLog2N = [] {
  std::array<float, kTabulatedSize + 1> table{};
  for (size_t n = 1; n <= kTabulatedSize; ++n) table[n] = static_cast<float>(n * std::log2(double(n)));
  return table;
}();

double NLog2N(uint32_t n) { return n <= kTabulatedSize ? kNLog2N[n] : n * std::log2(double(n)); }

}  // namespace

void TIncompressibleProbe::Reset() {
  std::fill(std::begin(anchors_), std::end(anchors_), kNoAnchor);
}

bool TIncompressibleProbe::IsIncompressible(const uint8_t* base, int32_t pos, size_t size) {
  if (size < kMinProbeSize) return false;
  // Four histograms so that runs of equal bytes do not serialise on one
  // counter; none can count past 65535.
  uint16_t counts[4][256];
  std::memset(counts, 0, sizeof counts);
  auto count = [&counts](const uint8_t* p, size_t n) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
      const uint32_t v = LoadLe32(p + i);
      ++counts[0][v & 0xFF];
      ++counts[1][(v >> 8) & 0xFF];
      ++counts[2][(v >> 16) & 0xFF];
      ++counts[3][v >> 24];
    }
    for (; i < n; ++i) ++counts[0][p[i]];
  };
  auto countLines = [&](const uint8_t* p, uint64_t lines) {
    for (; lines != 0; lines &= lines - 1)
      count(p + static_cast<size_t>(__builtin_ctzll(lines)) * kLineSize, kLineSize);
  };
  // True when the counts of `sampled` bytes look uniform.
  auto uniform = [&counts](size_t sampled) {
    // The order-0 size in bits: the sum of n * log2(size / n) over the
    // counts, in four partial sums that do not wait on each other.
    double sums[4] = {};
    for (unsigned b = 0; b < 256; b += 4)
      for (unsigned k = 0; k < 4; ++k)
        sums[k] += NLog2N(counts[0][b + k] + counts[1][b + k] + counts[2][b + k] + counts[3][b + k]);
    const double bits = NLog2N(static_cast<uint32_t>(sampled)) - (sums[0] + sums[1]) - (sums[2] + sums[3]);
    return bits >= ThresholdFor(sampled) * double(sampled);
  };
  const uint8_t* p = base + pos;
  bool random;
  if (size == kProbeChunkSize) {
    countLines(p, kFirstLines);
    random = uniform(kProbeChunkSize / 4);
    if (!random) {
      countLines(p, kSampledLines & ~kFirstLines);
      random = uniform(kProbeChunkSize / 2);
    }
  } else {
    count(p, size);
    random = uniform(size);
  }
  return random && !HasRepeats(base, pos, size);
}

bool TIncompressibleProbe::HasRepeats(const uint8_t* base, int32_t pos, size_t size) {
  const uint8_t* p = base + pos;
  const uint8_t* const end = p + size;
  size_t repeated = 0;
  while (p < end) {
    const uint8_t* q = static_cast<const uint8_t*>(std::memchr(p, kAnchorByte, static_cast<size_t>(end - p)));
    if (q == nullptr) break;
    const int32_t at = static_cast<int32_t>(q - base);
    // The eight bytes after the anchor may reach into the buffer's padding.
    const uint64_t key = LoadLe64(q + 1);
    int32_t& slot = anchors_[(key * 0x9E3779B97F4A7C15ull) >> (64 - kAnchorBits)];
    const int32_t prev = slot;
    slot = at;
    p = q + 1;
    if (at - prev > int32_t(kWindowSize)) continue;
    const unsigned len = MatchLength(base + prev, q, 0, static_cast<unsigned>(std::min<ptrdiff_t>(end - q, kMaxMatch)));
    if (len < kMinRepeat) continue;
    repeated += len;
    if ((repeated << kRepeatShareShift) >= size) return true;
    p = q + len;
  }
  return false;
}

}  // namespace ns::deflate
