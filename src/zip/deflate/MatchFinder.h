#pragma once
// Hash chains over the segment buffer: a table of the latest position of
// every 3-byte hash for the shortest matches, and chains of positions with
// the same 4-byte hash for everything longer. Positions are indices into the
// segment buffer (its priming window first).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zip/deflate/DeflateTables.h"

namespace ns::deflate {

// Tunables.
// 2^16 chain heads: fewer collisions than 2^15 on the window's 32768
// positions, while heads and links together stay within a typical L2 cache.
constexpr unsigned kHash4Bits = 16;
// Only the newest candidate is kept for 3-byte matches, which pay off only
// when close, so a smaller table serves.
constexpr unsigned kHash3Bits = 15;
// Links are 16-bit distances to the previous position of the chain; they are
// indexed by position modulo the window, so a link is valid for exactly as
// long as a match may reach it.
constexpr unsigned kLinkCount = kWindowSize;

inline uint32_t LoadLe32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;  // x86 and the Windows targets are little-endian
}
inline uint64_t LoadLe64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Length of the common prefix of a and b, from `start` up to `limit`. Reads
// up to 7 bytes beyond `limit`: the segment buffer is padded for that.
inline unsigned MatchLength(const uint8_t* a, const uint8_t* b, unsigned start, unsigned limit) {
  unsigned len = start;
  while (len + 8 <= limit) {
    const uint64_t diff = LoadLe64(a + len) ^ LoadLe64(b + len);
    if (diff != 0) return len + (static_cast<unsigned>(__builtin_ctzll(diff)) >> 3);
    len += 8;
  }
  while (len < limit && a[len] == b[len]) ++len;
  return len;
}

class TMatchFinder {
 public:
  // Forgets every position.
  void Reset() {
    for (auto& h : head4_) h = kNone;
    for (auto& h : head3_) h = kNone;
  }

  // Enters `pos` (which needs four readable bytes) without searching.
  void Insert(const uint8_t* base, int32_t pos) {
    const uint32_t seq = LoadLe32(base + pos);
    head3_[Hash3(seq)] = pos;
    uint32_t& head = head4_[Hash4(seq)];
    link_[pos & (kLinkCount - 1)] = Link(pos, static_cast<int32_t>(head));
    head = static_cast<uint32_t>(pos);
  }

  // Enters `pos` and returns the length of the longest match there that is
  // longer than `bestLen` (else `bestLen`), with its distance in *distance.
  // maxLen >= 4 bytes must be readable at pos; the search stops at niceLen
  // or after `depth` chain steps.
  unsigned Find(const uint8_t* base, int32_t pos, unsigned maxLen, unsigned niceLen, unsigned depth,
                unsigned bestLen, unsigned* distance) {
    const uint8_t* cur = base + pos;
    const uint32_t seq = LoadLe32(cur);
    uint32_t& head3 = head3_[Hash3(seq)];
    const int32_t cand3 = static_cast<int32_t>(head3);
    head3 = static_cast<uint32_t>(pos);
    uint32_t& head = head4_[Hash4(seq)];
    int32_t cand = static_cast<int32_t>(head);
    link_[pos & (kLinkCount - 1)] = Link(pos, cand);
    head = static_cast<uint32_t>(pos);

    if (bestLen < 3 && pos - cand3 <= int32_t(kWindowSize) && ((LoadLe32(base + cand3) ^ seq) & 0xFFFFFF) == 0) {
      bestLen = 3;
      *distance = static_cast<unsigned>(pos - cand3);
    }
    if (pos - cand > int32_t(kWindowSize)) return bestLen;
    for (;;) {
      const uint8_t* m = base + cand;
      // The byte pair that would have to match to beat bestLen rejects most
      // candidates before the full comparison.
      if (LoadLe32(m) == seq && (bestLen < 4 || LoadLe32(m + bestLen - 3) == LoadLe32(cur + bestLen - 3))) {
        const unsigned len = MatchLength(m, cur, 4, maxLen);
        if (len > bestLen) {
          bestLen = len;
          *distance = static_cast<unsigned>(pos - cand);
          if (len >= niceLen) break;
        }
      }
      if (--depth == 0) break;
      cand -= link_[cand & (kLinkCount - 1)];
      if (pos - cand > int32_t(kWindowSize)) break;
    }
    return bestLen;
  }

 private:
  // Far below any position, so that its distance is always out of reach.
  static constexpr uint32_t kNone = 0xC0000000u;  // -2^30 as int32

  static uint32_t Hash4(uint32_t seq) { return (seq * 0x1E35A7BDu) >> (32 - kHash4Bits); }
  static uint32_t Hash3(uint32_t seq) { return ((seq & 0xFFFFFF) * 0x1E35A7BDu) >> (32 - kHash3Bits); }
  // Distances beyond the window become a link that ends the chain.
  static uint16_t Link(int32_t pos, int32_t prev) {
    const int32_t d = pos - prev;
    return static_cast<uint16_t>(d > 0xFFFF ? 0xFFFF : d);
  }

  uint32_t head4_[1u << kHash4Bits];
  uint32_t head3_[1u << kHash3Bits];
  uint16_t link_[kLinkCount];
};

}  // namespace ns::deflate
