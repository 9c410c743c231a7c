#pragma once
// Hash chains over the segment buffer: a table of the latest position of
// every 3-byte hash for the shortest matches, chains of positions with the
// same 4-byte hash, and chains of positions that share a longer key (their
// first 8 bytes) for the longer matches. Where matches run short the long
// chains are keyed by 4 bytes instead and take over from the 4-byte chains,
// which then rest with the 3-byte table. Positions are indices into the
// segment buffer (its priming window first).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "zip/deflate/DeflateTables.h"

namespace ns::deflate {

// Tunables.
// 2^15 chain heads, one per window position: larger tables measured no
// smaller output, and all tables with the links (about 580 KiB) stay
// within a typical L2 cache.
constexpr unsigned kHash4Bits = 15;
// Only the newest candidate is kept for 3-byte matches, which pay off only
// when close, so a smaller table serves.
constexpr unsigned kHash3Bits = 14;
// Chains of positions that share their first bytes lead to the longer
// matches quickly. Nearly every window position starts a key of its own,
// so with one head per position most chains would interleave two keys and
// waste their steps on the other one; twice as many heads keep them apart.
constexpr unsigned kHash8Bits = 16;
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
  // How many leading bytes the positions of one long chain share.
  enum class TLongKey : uint8_t {
    // Text and other data with long repeats: the few positions that share
    // eight bytes are where the long matches are.
    Eight = 8,
    // Machine code: most matches are of 4-7 bytes. With twice as many
    // heads as the 4-byte chains have, chains keyed by four bytes hold
    // almost only true candidates, so a somewhat longer walk there finds
    // the longer matches and the 4-byte ones alike, and each position
    // costs one chain to update instead of two. 3-byte matches are not
    // searched: in machine code they save about 0.04 % in size and cost
    // about a tenth of the time.
    Four = 4,
  };

  // Forgets every position, keys the long chains by `key` and enters the
  // positions [from, to). The tables hold nothing before this.
  void Restart(TLongKey key, const uint8_t* base, int32_t from, int32_t to) {
    for (auto& h : head4_) h = kNone;
    for (auto& h : head3_) h = kNone;
    for (auto& h : head8_) h = kNone;
    longKey_ = key;
    nextPos_ = -1;
    InsertRange(base, from, to);
  }

  // Keys the long chains by `key` from `pos` on. On a change the tables are
  // rebuilt from the window before pos: a position entered under the other
  // key would be missing from the chains searched now, and most matches in
  // the first 32 KiB after the change would go unseen (about 0.1 % in size
  // on machine code). Rebuilding costs one window of entries, and the key
  // changes a few times per megabyte at most.
  void SetLongKey(TLongKey key, const uint8_t* base, int32_t pos) {
    if (key != longKey_) Restart(key, base, pos > int32_t(kWindowSize) ? pos - int32_t(kWindowSize) : 0, pos);
  }
  TLongKey LongKey() const { return longKey_; }

  // Enters the positions [from, to) without searching; ten bytes must be
  // readable after each.
  void InsertRange(const uint8_t* base, int32_t from, int32_t to) {
    if (longKey_ == TLongKey::Eight) InsertRangeKeyed<8>(base, from, to);
    else InsertRangeKeyed<4>(base, from, to);
  }

  // Enters `pos` and returns the length of the longest match there that is
  // longer than `bestLen` (else `bestLen`), with its distance in *distance.
  // maxLen >= 4 bytes must be matchable at pos, and nine readable. The
  // search stops at niceLen; it follows at most longDepth links of the
  // long chain and, under the 8-byte key when that found nothing as long
  // as its key or longer, `depth` links of the 4-byte chain.
  // The search is compiled into its caller's loop: where matches are short
  // most positions walk only a few links, and a call's register saves and
  // eight arguments cost as much as those (3-7 % of the time measured on
  // machine code).
  [[gnu::always_inline]] unsigned Find(const uint8_t* base, int32_t pos, unsigned maxLen, unsigned niceLen,
                                       unsigned depth, unsigned longDepth, unsigned bestLen, unsigned* distance) {
    // One copy of the search per key, so that the key's length and mask
    // are constants in the hot loops.
    if (longKey_ == TLongKey::Eight)
      return FindKeyed<8>(base, pos, maxLen, niceLen, depth, longDepth, bestLen, distance);
    return FindKeyed<4>(base, pos, maxLen, niceLen, depth, longDepth, bestLen, distance);
  }

 private:
  // The bits of a little-endian 8-byte load that the long key covers.
  template <unsigned kKeyLength>
  static constexpr uint64_t kKeyMaskOf = kKeyLength >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * kKeyLength)) - 1;

  // The table slots of one position.
  struct TSlots {
    uint32_t hash3, hash4, hash8;
  };
  template <unsigned kKeyLength>
  static TSlots SlotsAt(const uint8_t* p) {
    const uint32_t seq = LoadLe32(p);
    return {Hash3(seq), Hash4(seq), Hash8(LoadLe64(p) & kKeyMaskOf<kKeyLength>)};
  }

  // The next position is entered or searched next in most cases, and its
  // heads are far apart in tables larger than the L1 cache: loading them
  // now hides their latency behind the work on this one.
  template <unsigned kKeyLength>
  void PrefetchHeads(const TSlots& next) {
    if constexpr (kKeyLength > 4) {
      __builtin_prefetch(&head3_[next.hash3]);
      __builtin_prefetch(&head4_[next.hash4]);
    }
    __builtin_prefetch(&head8_[next.hash8]);
  }

  // What a position's entry replaces: the latest earlier position of each
  // of its keys, where its searches start.
  struct TCandidates {
    int32_t near3 = 0, chain4 = 0, chain8 = 0;
  };

  template <unsigned kKeyLength>
  TCandidates Enter(const TSlots& slots, int32_t pos) {
    TCandidates previous;
    if constexpr (kKeyLength > 4) {
      uint32_t& head3 = head3_[slots.hash3];
      previous.near3 = static_cast<int32_t>(head3);
      head3 = static_cast<uint32_t>(pos);
      uint32_t& head4 = head4_[slots.hash4];
      previous.chain4 = static_cast<int32_t>(head4);
      link4_[pos & (kLinkCount - 1)] = Link(pos, previous.chain4);
      head4 = static_cast<uint32_t>(pos);
    }
    uint32_t& head8 = head8_[slots.hash8];
    previous.chain8 = static_cast<int32_t>(head8);
    link8_[pos & (kLinkCount - 1)] = Link(pos, previous.chain8);
    head8 = static_cast<uint32_t>(pos);
    return previous;
  }

  // Each position's slots are computed once: for the prefetch one position
  // ahead, then kept for its entry.
  template <unsigned kKeyLength>
  void InsertRangeKeyed(const uint8_t* base, int32_t from, int32_t to) {
    if (from >= to) return;
    TSlots slots = from == nextPos_ ? nextSlots_ : SlotsAt<kKeyLength>(base + from);
    for (int32_t pos = from; pos < to; ++pos) {
      const TSlots next = SlotsAt<kKeyLength>(base + pos + 1);
      PrefetchHeads<kKeyLength>(next);
      Enter<kKeyLength>(slots, pos);
      slots = next;
    }
    nextSlots_ = slots;
    nextPos_ = to;
  }

  template <unsigned kKeyLength>
  [[gnu::always_inline]] unsigned FindKeyed(const uint8_t* base, int32_t pos, unsigned maxLen, unsigned niceLen,
                                            unsigned depth, unsigned longDepth, unsigned bestLen,
                                            unsigned* distance) {
    constexpr uint64_t kKeyMask = kKeyMaskOf<kKeyLength>;
    const uint8_t* cur = base + pos;
    // Most often this position was the last entry's next, hashed already.
    const TSlots slots = pos == nextPos_ ? nextSlots_ : SlotsAt<kKeyLength>(cur);
    nextSlots_ = SlotsAt<kKeyLength>(cur + 1);
    nextPos_ = pos + 1;
    PrefetchHeads<kKeyLength>(nextSlots_);
    const uint32_t seq = LoadLe32(cur);
    const uint64_t seq8 = LoadLe64(cur) & kKeyMask;
    const TCandidates candidates = Enter<kKeyLength>(slots, pos);
    const int32_t cand3 = candidates.near3;
    int32_t cand = candidates.chain4;
    int32_t cand8 = candidates.chain8;

    if (kKeyLength > 4 && bestLen < 3 && pos - cand3 <= int32_t(kWindowSize) &&
        ((LoadLe32(base + cand3) ^ seq) & 0xFFFFFF) == 0) {
      bestLen = 3;
      *distance = static_cast<unsigned>(pos - cand3);
    }
    // Long matches first. Deep 4-byte chains are mostly candidates that
    // share four or five bytes; the long chain holds the ones that can be
    // longer, so a short walk there finds what a long walk on the 4-byte
    // chain would.
    if (maxLen >= kKeyLength) {
      // Once a match as long as the key is in hand, the four bytes that
      // would have to match to beat it (its last byte and the three before)
      // reject nearly every candidate: they are compared first, and the key
      // only for the few that pass.
      unsigned probe = bestLen < kKeyLength ? 0 : bestLen - 3;
      uint32_t probeBytes = LoadLe32(cur + probe);
      for (unsigned steps = longDepth; steps > 0 && pos - cand8 <= int32_t(kWindowSize); --steps) {
        const uint8_t* m = base + cand8;
        if (LoadLe32(m + probe) == probeBytes && (LoadLe64(m) & kKeyMask) == seq8) {
          const unsigned len = MatchLength(m, cur, kKeyLength, maxLen);
          if (len > bestLen) {
            bestLen = len;
            *distance = static_cast<unsigned>(pos - cand8);
            if (len >= niceLen) return bestLen;
            probe = len - 3;
            probeBytes = LoadLe32(cur + probe);
          }
        }
        cand8 -= link8_[cand8 & (kLinkCount - 1)];
      }
      // A match one byte short of the key is beaten only by one of the
      // key's length or more, and those are on the long chain.
      if (bestLen + 1 >= kKeyLength) return bestLen;
    }
    if constexpr (kKeyLength == 4) return bestLen;
    if (pos - cand > int32_t(kWindowSize)) return bestLen;
    for (;;) {
      const uint8_t* m = base + cand;
      // The bytes that would have to match to beat bestLen reject most
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
      cand -= link4_[cand & (kLinkCount - 1)];
      if (pos - cand > int32_t(kWindowSize)) break;
    }
    return bestLen;
  }

  // Far below any position, so that its distance is always out of reach.
  static constexpr uint32_t kNone = 0xC0000000u;  // -2^30 as int32

  static uint32_t Hash4(uint32_t seq) { return (seq * 0x1E35A7BDu) >> (32 - kHash4Bits); }
  static uint32_t Hash8(uint64_t seq) { return static_cast<uint32_t>((seq * 0x9E3779B97F4A7C15ull) >> (64 - kHash8Bits)); }
  static uint32_t Hash3(uint32_t seq) { return ((seq & 0xFFFFFF) * 0x1E35A7BDu) >> (32 - kHash3Bits); }
  // Distances beyond the window become a link that ends the chain.
  static uint16_t Link(int32_t pos, int32_t prev) {
    const int32_t d = pos - prev;
    return static_cast<uint16_t>(d > 0xFFFF ? 0xFFFF : d);
  }

  uint32_t head4_[1u << kHash4Bits];
  uint32_t head3_[1u << kHash3Bits];
  uint32_t head8_[1u << kHash8Bits];
  uint16_t link4_[kLinkCount];
  uint16_t link8_[kLinkCount];
  TLongKey longKey_ = TLongKey::Eight;
  // The slots of the position after the last one entered, hashed for its
  // prefetch and kept for its own entry; they hold while the key does.
  TSlots nextSlots_{};
  int32_t nextPos_ = -1;
};

}  // namespace ns::deflate
