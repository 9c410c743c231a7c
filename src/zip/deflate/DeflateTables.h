#pragma once
// Fixed facts of the deflate format (RFC 1951) that the encoder looks up:
// length and distance slots with their extra bits, the static code, and the
// order of the code length code lengths in a dynamic header.
#include <array>
#include <cstdint>

namespace ns::deflate {

constexpr unsigned kMinMatch = 3;
constexpr unsigned kMaxMatch = 258;
constexpr unsigned kWindowSize = 32768;  // largest distance a match may use
constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kNumLitLenSymbols = 288;
constexpr unsigned kNumDistSymbols = 32;
constexpr unsigned kNumPrecodeSymbols = 19;
constexpr unsigned kMaxCodeLength = 15;
constexpr unsigned kMaxPrecodeLength = 7;
constexpr unsigned kMaxStoredLength = 65535;

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kPrecodeOrder[kNumPrecodeSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                       11, 4,  12, 3, 13, 2, 14, 1, 15};

// Slot (0-28) of each match length 3-258.
constexpr std::array<uint8_t, kMaxMatch + 1> kLengthSlot = [] {
  std::array<uint8_t, kMaxMatch + 1> t{};
  for (unsigned slot = 0; slot < 29; ++slot)
    for (unsigned len = kLengthBase[slot]; len < kLengthBase[slot] + (1u << kLengthExtra[slot]) && len <= kMaxMatch;
         ++len)
      t[len] = static_cast<uint8_t>(slot);
  return t;
}();

// Slot (0-29) of distances: below 257 by distance - 1, above by
// (distance - 1) >> 7, which the slots from 16 on are coarse enough for.
struct TDistSlots {
  std::array<uint8_t, 256> small{};
  std::array<uint8_t, 256> large{};
};
constexpr TDistSlots kDistSlots = [] {
  TDistSlots t{};
  for (unsigned slot = 0; slot < 30; ++slot)
    for (unsigned d = kDistBase[slot]; d < kDistBase[slot] + (1u << kDistExtra[slot]); ++d) {
      if (d <= 256) t.small[d - 1] = static_cast<uint8_t>(slot);
      else t.large[(d - 1) >> 7] = static_cast<uint8_t>(slot);
    }
  return t;
}();

inline unsigned DistSlot(unsigned distance) {
  return distance <= 256 ? kDistSlots.small[distance - 1] : kDistSlots.large[(distance - 1) >> 7];
}

}  // namespace ns::deflate
