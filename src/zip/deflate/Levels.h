#pragma once
// What each compression level spends on the match search.
#include <cstdint>

namespace ns::deflate {

struct TLevelParams {
  uint16_t searchDepth;  // 4-byte chain steps per position searched
  uint16_t mixedDepth;   // searchDepth where most matches are short but the 8-byte key stays
  uint16_t longDepth;    // 8-byte chain steps per position searched
  uint16_t fourDepth;    // long chain steps where the chains are keyed by 4 bytes
  uint16_t niceLength;   // a match this long ends the search and is taken
  uint16_t goodLength;   // a match this long has the next position searched at a quarter of the depth
  uint16_t lazyLength;   // a match this long is taken without looking one position further
  uint16_t fourLazyLength;  // lazyLength where the chains are keyed by 4 bytes
  bool lazy;             // look one position ahead before taking a match
  bool adaptiveLongKey;  // long chains keyed by 4 bytes where matches run short
};

// Levels 1-9. Level 6, the one the program uses, walks far shorter chains
// than zlib's level 6 (up to 128 steps) for about the same size: the
// 8-byte chains reach the long matches in few steps, and the exact block
// costs with adaptive block ends win back the rest. Deeper 4-byte chains
// mostly meet candidates of four or five bytes and cost more than they
// gain, except in mixed data of mostly short matches (real executables and
// libraries), where the few steps left the output up to 1% larger than
// zlib's: there they walk mixedDepth. goodLength and lazyLength play the
// parts they play in zlib. The chains keyed by 4 bytes serve the 4-byte
// matches as well as the longer ones, so they walk half as far again as
// the 8-byte ones. There only a match of four is weighed against the one
// a position later: looking past matches of five costs about a thirtieth
// of the time and saves about seven bytes in ten thousand. The fast levels
// keep the 8-byte key: the 4-byte one costs more steps.
constexpr TLevelParams kLevels[10] = {
    {1, 1, 1, 1, 8, 8, 8, 8, false, false},            // 0: not used; treated as 1
    {2, 2, 2, 2, 16, 8, 8, 8, false, false},           // 1
    {4, 4, 4, 4, 24, 8, 8, 8, false, false},           // 2
    {6, 6, 6, 6, 32, 8, 8, 8, false, false},           // 3
    {4, 4, 6, 9, 24, 4, 8, 6, true, true},             // 4
    {6, 6, 10, 15, 32, 8, 16, 6, true, true},          // 5
    {6, 20, 32, 48, 64, 8, 16, 5, true, true},         // 6
    {32, 32, 48, 72, 128, 16, 128, 128, true, true},   // 7
    {128, 128, 128, 192, 258, 32, 258, 258, true, true},  // 8
    {512, 512, 512, 768, 258, 258, 258, 258, true, true},  // 9
};

inline const TLevelParams& LevelParams(int level) {
  return kLevels[level < 1 ? 1 : level > 9 ? 9 : level];
}

}  // namespace ns::deflate
