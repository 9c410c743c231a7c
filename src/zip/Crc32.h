#pragma once
// CRC-32 as ZIP uses it: the ISO 3309 polynomial in reflected form, initial
// value and final XOR all ones.
#include <cstddef>
#include <cstdint>

namespace ns {

// Continues a running CRC-32 over `size` more bytes. Start with 0; the value
// returned after the last piece is the CRC of all the data.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace ns
