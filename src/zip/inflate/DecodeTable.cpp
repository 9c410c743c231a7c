#include "zip/inflate/DecodeTable.h"

#include "zip/deflate/DeflateTables.h"

namespace ns::inflate {

namespace {

constexpr uint32_t Entry(uint32_t flags, unsigned value, unsigned extra = 0) {
  return flags | (static_cast<uint32_t>(value) << 16) | extra;
}

// Reverses the low `length` bits of `code`: codes are stored first bit
// first, while the bit buffer holds the first bit lowest.
unsigned Reversed(unsigned code, unsigned length) {
  unsigned reversed = 0;
  for (unsigned i = 0; i < length; ++i, code >>= 1) reversed = (reversed << 1) | (code & 1);
  return reversed;
}

}  // namespace

// Symbols 286 and 287 of the fixed code, and distance symbols 30 and 31,
// have codes but no meaning.
const std::array<uint32_t, 288> kLitLenSymbols = [] {
  std::array<uint32_t, 288> t{};
  for (unsigned s = 0; s < 256; ++s) t[s] = Entry(kLiteral, s);
  t[256] = Entry(kEndOfBlock, 0);
  for (unsigned s = 257; s < 286; ++s) t[s] = Entry(0, deflate::kLengthBase[s - 257], deflate::kLengthExtra[s - 257]);
  t[286] = t[287] = Entry(kInvalid, 0);
  return t;
}();

const std::array<uint32_t, 32> kDistSymbols = [] {
  std::array<uint32_t, 32> t{};
  for (unsigned s = 0; s < 30; ++s) t[s] = Entry(0, deflate::kDistBase[s], deflate::kDistExtra[s]);
  t[30] = t[31] = Entry(kInvalid, 0);
  return t;
}();

const std::array<uint32_t, 19> kPrecodeSymbols = [] {
  std::array<uint32_t, 19> t{};
  for (unsigned s = 0; s < 19; ++s) t[s] = Entry(0, s);
  return t;
}();

TCodeShape BuildDecodeTable(uint32_t* table, size_t capacity, unsigned mainBits, const uint8_t* lengths,
                            unsigned count, const uint32_t* symbols) {
  constexpr unsigned kMaxLength = deflate::kMaxCodeLength;
  unsigned perLength[kMaxLength + 1] = {};
  for (unsigned s = 0; s < count; ++s) ++perLength[lengths[s]];
  unsigned longest = 0;
  int left = 1;  // bit patterns not yet taken, at the current length
  for (unsigned length = 1; length <= kMaxLength; ++length) {
    left = 2 * left - static_cast<int>(perLength[length]);
    if (left < 0) return TCodeShape::OverSubscribed;
    if (perLength[length] != 0) longest = length;
  }

  const unsigned mainSize = 1u << mainBits;
  TCodeShape shape = TCodeShape::Complete;
  if (longest == 0) {
    shape = TCodeShape::Empty;
  } else if (left != 0) {
    if (longest != 1 || perLength[1] != 1) return TCodeShape::Incomplete;
    shape = TCodeShape::Single;
  }
  if (shape != TCodeShape::Complete)
    for (unsigned i = 0; i < mainSize; ++i) table[i] = kInvalid | (mainBits << 8) | mainBits;
  if (shape == TCodeShape::Empty) return shape;

  // Symbols in canonical order: by code length, then by value.
  uint16_t sorted[288];
  unsigned offset[kMaxLength + 2] = {};
  for (unsigned length = 1; length <= kMaxLength; ++length) offset[length + 1] = offset[length] + perLength[length];
  for (unsigned s = 0; s < count; ++s)
    if (lengths[s] != 0) sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);

  const unsigned mainMask = mainSize - 1;
  size_t next = mainSize;  // where the next subtable starts
  unsigned subPrefix = ~0u, subStart = 0, subBits = 0;
  unsigned code = 0;  // the canonical code, first bit highest
  unsigned index = 0;
  for (unsigned length = 1; length <= longest; ++length, code <<= 1) {
    for (unsigned n = perLength[length]; n > 0; --n, ++code) {
      const uint32_t entry = symbols[sorted[index++]];
      const unsigned pattern = Reversed(code, length);
      if (length <= mainBits) {
        const uint32_t full = entry + (length << 8) + length;
        for (unsigned i = pattern; i < mainSize; i += 1u << length) table[i] = full;
      } else {
        const unsigned prefix = pattern & mainMask;
        if (prefix != subPrefix) {
          // The subtable is as wide as the codes that share this prefix
          // need: grow it until they fill it.
          subBits = length - mainBits;
          int room = 1 << subBits;
          while (subBits + mainBits < longest) {
            room -= static_cast<int>(perLength[subBits + mainBits]);
            if (room <= 0) break;
            ++subBits;
            room <<= 1;
          }
          subPrefix = prefix;
          subStart = static_cast<unsigned>(next);
          next += size_t(1) << subBits;
          // Only a malformed length table could need more; they were checked above.
          if (next > capacity) return TCodeShape::OverSubscribed;
          table[prefix] = kSubtable | (subStart << 16) | (subBits << 8) | mainBits;
        }
        const unsigned rest = length - mainBits;
        const uint32_t full = entry + (rest << 8) + rest;
        for (unsigned i = pattern >> mainBits; i < (1u << subBits); i += 1u << rest) table[subStart + i] = full;
      }
      --perLength[length];  // the subtable sizing counts the codes still to place
    }
  }
  return shape;
}

}  // namespace ns::inflate
