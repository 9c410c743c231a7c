#include "Crc32.h"

#include <array>

namespace ns::standin {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = value & 1 ? (value >> 1) ^ kPolynomial : value >> 1;
    table[i] = value;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

// a * b modulo the polynomial, both in the reflected bit order (the top bit
// is x^0).
uint32_t MultiplyModulo(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t mask = 1u << 31; mask != 0; mask >>= 1) {
    if (a & mask) product ^= b;
    b = b & 1 ? (b >> 1) ^ kPolynomial : b >> 1;
  }
  return product;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = kTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

uint32_t Crc32UpdateZeros(uint32_t crc, uint64_t count) {
  // Without the inversions a zero byte only multiplies the register by x^8,
  // so `count` of them multiply it by x^(8 * count): square-and-multiply
  // over the bits of the count, starting from x^8.
  uint32_t power = 1u << 23;     // x^8
  uint32_t factor = 1u << 31;    // x^0
  for (; count != 0; count >>= 1) {
    if (count & 1) factor = MultiplyModulo(factor, power);
    power = MultiplyModulo(power, power);
  }
  return ~MultiplyModulo(factor, ~crc);
}

}  // namespace ns::standin
