#pragma once
// Lookup tables that decode one Huffman code of a deflate stream. The stream
// stores codes first bit first, so the bits waiting in the decoder's bit
// buffer index a main table directly; codes longer than the main table's
// bits continue in a subtable that its main entry links to.
#include <array>
#include <cstddef>
#include <cstdint>

namespace ns::inflate {

// One 32-bit entry, laid out so that the decode loop needs few operations:
//   bits 0-7    bits of input the entry consumes in all: its code and the
//               extra bits that follow it (a length's or distance's), so a
//               single shift takes both; for a subtable link, the main
//               table's bits
//   bits 8-11   the code's own length, where the extra bits start; for a
//               subtable link, the subtable's index bits
//   bits 12-14  what the entry is when it is not a literal, length or
//               distance (the flags below)
//   bits 16-30  its value: literal byte, length or distance base, symbol,
//               subtable start
//   bit 31      a literal: the sign bit, one test
constexpr uint32_t kEndOfBlock = 1u << 12;
constexpr uint32_t kSubtable = 1u << 13;
constexpr uint32_t kInvalid = 1u << 14;
constexpr uint32_t kExceptional = kEndOfBlock | kSubtable | kInvalid;
constexpr uint32_t kLiteral = 1u << 31;

constexpr unsigned EntryBits(uint32_t entry) { return entry & 0xFF; }
constexpr unsigned EntryCodeBits(uint32_t entry) { return (entry >> 8) & 0xF; }
constexpr unsigned EntryValue(uint32_t entry) { return (entry >> 16) & 0x7FFF; }
// The value an entry decodes to from the bits that were waiting when it was
// looked up: its base plus its extra bits.
constexpr unsigned EntryDecoded(uint32_t entry, uint64_t bits) {
  return EntryValue(entry) +
         static_cast<unsigned>((bits & ((uint64_t(1) << EntryBits(entry)) - 1)) >> EntryCodeBits(entry));
}

// Main table sizes: the literal/length table covers every code of 11 bits
// or less in one look-up (nearly every code of real streams); distances and
// code lengths need fewer.
constexpr unsigned kLitLenMainBits = 11;
constexpr unsigned kDistMainBits = 8;
constexpr unsigned kPrecodeMainBits = 7;  // the longest code length code, so never a subtable

// The most entries a complete code of that many symbols, with codes of up to
// 15 bits, can need with its subtables (counted by enumerating every code
// shape, as zlib's "enough" program does).
constexpr size_t kLitLenTableSize = 2342;  // 288 symbols, 11-bit main table
constexpr size_t kDistTableSize = 402;     // 32 symbols, 8-bit main table
constexpr size_t kPrecodeTableSize = 128;

// The decoded part of each symbol's entry, by kind of code: flags, value,
// and in bits 0-7 the number of extra bits, to which the code length is
// added.
extern const std::array<uint32_t, 288> kLitLenSymbols;
extern const std::array<uint32_t, 32> kDistSymbols;
extern const std::array<uint32_t, 19> kPrecodeSymbols;

enum class TCodeShape {
  Complete,        // every bit pattern is a code
  Single,          // one code of one bit: allowed for literal/length and distance codes
  Empty,           // no codes at all: allowed for distance codes of blocks without matches
  OverSubscribed,  // more codes than bit patterns
  Incomplete,      // bit patterns left over
};

// Fills `table` (of `capacity` entries) for the code given by the bit
// lengths of its `count` symbols. The table is usable for the first three
// shapes; the unused patterns of Single and Empty decode as kInvalid.
TCodeShape BuildDecodeTable(uint32_t* table, size_t capacity, unsigned mainBits, const uint8_t* lengths,
                            unsigned count, const uint32_t* symbols);

}  // namespace ns::inflate
