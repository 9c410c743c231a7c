#pragma once
// CRC-32 (the ZIP polynomial, reflected, pre- and post-inverted) for the
// integrity field of the stand-in's dumps. The stand-in keeps its own copy
// rather than the product's, so a fault in the product's CRC cannot hide
// behind the same fault in the platform that checks its output.
#include <cstddef>
#include <cstdint>

namespace ns::standin {

// Continues `crc` (0 to start) over the bytes.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);
// Continues `crc` over `count` zero bytes in time that grows with the
// logarithm of the count: a sparse dump's hole of gigabytes costs nothing.
uint32_t Crc32UpdateZeros(uint32_t crc, uint64_t count);

}  // namespace ns::standin
