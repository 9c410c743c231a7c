#pragma once
// What each compression level spends on the match search.
#include <cstdint>

namespace ns::deflate {

struct TLevelParams {
  uint16_t searchDepth;  // chain steps per position searched
  uint16_t niceLength;   // a match this long ends the search and is taken
  bool lazy;             // look one position ahead before taking a match
};

// Levels 1-9. Level 6, the one the program uses, searches less deeply than
// zlib's level 6 (chains of 128): the 4-byte chains with a separate table
// for 3-byte matches, the exact block costs and the adaptive block ends win
// back more than the shorter search loses.
constexpr TLevelParams kLevels[10] = {
    {1, 8, false},     // 0: not used; treated as 1
    {2, 16, false},    // 1
    {4, 24, false},    // 2
    {8, 32, false},    // 3
    {6, 24, true},     // 4
    {10, 32, true},    // 5
    {16, 48, true},    // 6
    {48, 128, true},   // 7
    {128, 258, true},  // 8
    {512, 258, true},  // 9
};

inline const TLevelParams& LevelParams(int level) {
  return kLevels[level < 1 ? 1 : level > 9 ? 9 : level];
}

}  // namespace ns::deflate
