#pragma once
// Length-limited Huffman codes for deflate blocks.
#include <cstdint>

namespace ns::deflate {

// Code lengths (at most maxLength) for symbols 0..count-1 from their
// frequencies. Unused symbols get 0. The code is always complete: when fewer
// than two symbols are used, unused ones are added so that every inflater
// accepts it.
void BuildCodeLengths(const uint32_t* freq, unsigned count, unsigned maxLength, uint8_t* lengths);

// Canonical codes for the lengths, bit-reversed because deflate sends
// Huffman codes starting with their most significant bit into an
// LSB-first bit stream.
void BuildCanonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes);

}  // namespace ns::deflate
