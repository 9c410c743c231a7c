// Optimal code lengths by the in-place method of Moffat and Katajainen over
// symbols sorted by frequency, then limited to the maximum length by moving
// leaves down the tree until the Kraft sum is exact again. Blocks are tens of
// kilobytes, so the few hundred symbols here cost nothing measurable.
#include "zip/deflate/HuffmanCode.h"

#include <algorithm>

#include "zip/deflate/DeflateTables.h"

namespace ns::deflate {
namespace {

// Turns ascending frequencies a[0..n) into code lengths, in place.
void MinimumRedundancy(uint32_t* a, int n) {
  if (n == 1) {
    a[0] = 1;
    return;
  }
  a[0] += a[1];
  int root = 0, leaf = 2;
  for (int next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = static_cast<uint32_t>(next);
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= n || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = static_cast<uint32_t>(next);
    } else {
      a[next] += a[leaf++];
    }
  }
  a[n - 2] = 0;
  for (int next = n - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
  int available = 1, used = 0, depth = 0;
  root = n - 2;
  int next = n - 1;
  while (available > 0) {
    while (root >= 0 && static_cast<int>(a[root]) == depth) {
      ++used;
      --root;
    }
    while (available > used) {
      a[next--] = static_cast<uint32_t>(depth);
      --available;
    }
    available = 2 * used;
    ++depth;
    used = 0;
  }
}

// Sorts keys of frequency << 16 | symbol, unique by their symbol. Two
// stable counting passes over the frequency's low 20 bits cost a third of
// a comparison sort on the few hundred keys a block has; larger
// frequencies (not seen in blocks, which are far shorter) are sorted by
// comparison.
void SortKeys(uint64_t* keys, unsigned n) {
  constexpr unsigned kDigitBits = 10;
  constexpr uint64_t kLimit = uint64_t(1) << (16 + 2 * kDigitBits);
  uint64_t largest = 0;
  for (unsigned i = 0; i < n; ++i) largest = std::max(largest, keys[i]);
  if (n < 3 || largest >= kLimit) {
    std::sort(keys, keys + n);
    return;
  }
  // Beyond two keys they arrive in symbol order, so stable passes keep
  // ties in that order.
  uint64_t spare[kNumLitLenSymbols];
  uint64_t* from = keys;
  uint64_t* to = spare;
  for (unsigned shift = 16; shift < 16 + 2 * kDigitBits; shift += kDigitBits) {
    unsigned start[(1u << kDigitBits) + 1] = {};
    for (unsigned i = 0; i < n; ++i) ++start[((from[i] >> shift) & ((1u << kDigitBits) - 1)) + 1];
    for (unsigned d = 1; d <= (1u << kDigitBits); ++d) start[d] += start[d - 1];
    for (unsigned i = 0; i < n; ++i) to[start[(from[i] >> shift) & ((1u << kDigitBits) - 1)]++] = from[i];
    std::swap(from, to);
  }
}

}  // namespace

void BuildCodeLengths(const uint32_t* freq, unsigned count, unsigned maxLength, uint8_t* lengths) {
  uint64_t keys[kNumLitLenSymbols] = {};  // frequency << 16 | symbol
  unsigned used = 0;
  for (unsigned s = 0; s < count; ++s) {
    lengths[s] = 0;
    if (freq[s] != 0) keys[used++] = uint64_t(freq[s]) << 16 | s;
  }
  for (unsigned s = 0; used < 2 && s < count; ++s)
    if (freq[s] == 0) keys[used++] = uint64_t(1) << 16 | s;
  SortKeys(keys, used);

  uint32_t depth[kNumLitLenSymbols] = {};
  for (unsigned i = 0; i < used; ++i) depth[i] = static_cast<uint32_t>(keys[i] >> 16);
  MinimumRedundancy(depth, static_cast<int>(used));

  constexpr unsigned kDeepest = 32;
  unsigned perLength[kDeepest + 1] = {};
  for (unsigned i = 0; i < used; ++i) ++perLength[std::min<uint32_t>(depth[i], kDeepest)];
  for (unsigned len = maxLength + 1; len <= kDeepest; ++len) {
    perLength[maxLength] += perLength[len];
    perLength[len] = 0;
  }
  uint32_t kraft = 0;  // in units of 2^-maxLength
  for (unsigned len = 1; len <= maxLength; ++len) kraft += perLength[len] << (maxLength - len);
  while (kraft != (1u << maxLength)) {
    --perLength[maxLength];
    for (unsigned len = maxLength - 1; len > 0; --len)
      if (perLength[len] != 0) {
        --perLength[len];
        perLength[len + 1] += 2;
        break;
      }
    --kraft;
  }
  // The most frequent symbols, at the end of the sorted keys, get the
  // shortest codes.
  unsigned j = used;
  for (unsigned len = 1; len <= maxLength; ++len)
    for (unsigned k = perLength[len]; k > 0; --k) lengths[keys[--j] & 0xFFFF] = static_cast<uint8_t>(len);
}

void BuildCanonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes) {
  unsigned perLength[kMaxCodeLength + 1] = {};
  for (unsigned s = 0; s < count; ++s) ++perLength[lengths[s]];
  perLength[0] = 0;
  unsigned next[kMaxCodeLength + 2] = {};
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) next[len + 1] = (next[len] + perLength[len]) << 1;
  for (unsigned s = 0; s < count; ++s) {
    const unsigned len = lengths[s];
    if (len == 0) {
      codes[s] = 0;
      continue;
    }
    unsigned code = next[len]++, reversed = 0;
    for (unsigned i = 0; i < len; ++i, code >>= 1) reversed = (reversed << 1) | (code & 1);
    codes[s] = static_cast<uint16_t>(reversed);
  }
}

}  // namespace ns::deflate
