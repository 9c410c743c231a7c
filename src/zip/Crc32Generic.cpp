// Table-driven CRC-32, eight bytes per step ("slicing by 8"): the fallback
// for processors without carry-less multiplication, and the finishing step
// of the folding variant.
#include <array>
#include <cstring>

#include "zip/Crc32Impl.h"

namespace ns::crc32 {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;  // reflected ISO 3309 polynomial

// kTables[0] is the classic byte table; kTables[k][b] is the register after
// byte b followed by k zero bytes, which lets eight bytes go in one step.
constexpr std::array<std::array<uint32_t, 256>, 8> MakeTables() {
  std::array<std::array<uint32_t, 256>, 8> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = b;
    for (int i = 0; i < 8; ++i) r = (r >> 1) ^ ((r & 1) ? kPolynomial : 0);
    t[0][b] = r;
  }
  for (int k = 1; k < 8; ++k)
    for (uint32_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  return t;
}
constexpr auto kTables = MakeTables();

inline uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

uint32_t UpdateRegister(uint32_t reg, const uint8_t* p, size_t size) {
  for (; size >= 8; size -= 8, p += 8) {
    const uint32_t a = reg ^ LoadLe32(p);
    const uint32_t b = LoadLe32(p + 4);
    reg = kTables[7][a & 0xFF] ^ kTables[6][(a >> 8) & 0xFF] ^ kTables[5][(a >> 16) & 0xFF] ^
          kTables[4][a >> 24] ^ kTables[3][b & 0xFF] ^ kTables[2][(b >> 8) & 0xFF] ^
          kTables[1][(b >> 16) & 0xFF] ^ kTables[0][b >> 24];
  }
  for (; size > 0; --size, ++p) reg = (reg >> 8) ^ kTables[0][(reg ^ *p) & 0xFF];
  return reg;
}

uint32_t Generic(uint32_t crc, const uint8_t* data, size_t size) {
  return ~UpdateRegister(~crc, data, size);
}

}  // namespace ns::crc32
