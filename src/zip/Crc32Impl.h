#pragma once
// The CRC-32 variants behind ns::Crc32. Each takes and returns the plain
// CRC value (the ones' complements are applied inside), so any of them can
// continue what another one started. Exposed for the tests, which check every
// variant the machine can run against an independent implementation.
#include <cstddef>
#include <cstdint>

namespace ns::crc32 {

// Byte tables, eight bytes per step. Runs everywhere.
uint32_t Generic(uint32_t crc, const uint8_t* data, size_t size);

// The table step on the raw shift register (the complemented CRC); the
// folding variant finishes its work with it.
uint32_t UpdateRegister(uint32_t reg, const uint8_t* data, size_t size);

// Carry-less multiplication folding (x86 PCLMULQDQ). Only call it when
// HavePclmul() says the processor has the instructions.
uint32_t Pclmul(uint32_t crc, const uint8_t* data, size_t size);
bool HavePclmul();

// True when the environment variable NS_DISABLE_CPU_FEATURES is set to
// anything but an empty text or "0": then only the generic variants run.
bool CpuFeaturesDisabled();

}  // namespace ns::crc32
