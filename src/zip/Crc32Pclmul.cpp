// CRC-32 by carry-less multiplication: the data is folded 128 bytes at a time
// into eight 128-bit accumulators that stay congruent to it modulo the CRC
// polynomial; the last accumulator is finished with the byte tables. Built
// with per-function target attributes, so the rest of the program keeps the
// baseline instruction set and the choice is made at run time.
#include "zip/Crc32Impl.h"

#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define NS_CRC32_TARGET __attribute__((target("pclmul,sse4.1")))
#endif

namespace ns::crc32 {

bool CpuFeaturesDisabled() {
  const char* value = std::getenv("NS_DISABLE_CPU_FEATURES");
  return value != nullptr && value[0] != '\0' && !(value[0] == '0' && value[1] == '\0');
}

#if defined(__x86_64__) || defined(__i386__)
namespace {

// Below this the setup of the accumulators costs more than the tables.
constexpr size_t kMinFoldSize = 256;

// x^n mod G(x) in the reflected bit order the folding uses. The exponents
// are offset by 33 from the folding distance: 32 for the degree of G and
// one for the carry-less product of two reflected operands, which comes out
// shifted down by one bit.
constexpr uint64_t XPowModG(unsigned n) {
  uint32_t r = 0x80000000;  // x^0
  for (unsigned i = 0; i < n; ++i) r = (r >> 1) ^ ((r & 1) ? 0xEDB88320 : 0);
  return r;
}
constexpr uint64_t kFold1024Lo = XPowModG(1024 + 31), kFold1024Hi = XPowModG(1024 - 33);
constexpr uint64_t kFold128Lo = XPowModG(128 + 31), kFold128Hi = XPowModG(128 - 33);

NS_CRC32_TARGET inline __m128i Fold(__m128i src, __m128i dst, __m128i multipliers) {
  dst = _mm_xor_si128(dst, _mm_clmulepi64_si128(src, multipliers, 0x00));
  return _mm_xor_si128(dst, _mm_clmulepi64_si128(src, multipliers, 0x11));
}

NS_CRC32_TARGET inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

bool HavePclmul() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  return (c & bit_PCLMUL) != 0 && (c & bit_SSE4_1) != 0;
}

NS_CRC32_TARGET uint32_t Pclmul(uint32_t crc, const uint8_t* p, size_t size) {
  if (size < kMinFoldSize) return Generic(crc, p, size);
  const __m128i m1024 = _mm_set_epi64x(static_cast<long long>(kFold1024Hi), static_cast<long long>(kFold1024Lo));
  const __m128i m128 = _mm_set_epi64x(static_cast<long long>(kFold128Hi), static_cast<long long>(kFold128Lo));

  // The complemented CRC enters as an XOR over the first four bytes.
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(~crc)));
  __m128i x1 = Load(p + 16), x2 = Load(p + 32), x3 = Load(p + 48);
  __m128i x4 = Load(p + 64), x5 = Load(p + 80), x6 = Load(p + 96), x7 = Load(p + 112);
  p += 128;
  size -= 128;
  for (; size >= 128; size -= 128, p += 128) {
    x0 = Fold(x0, Load(p), m1024);
    x1 = Fold(x1, Load(p + 16), m1024);
    x2 = Fold(x2, Load(p + 32), m1024);
    x3 = Fold(x3, Load(p + 48), m1024);
    x4 = Fold(x4, Load(p + 64), m1024);
    x5 = Fold(x5, Load(p + 80), m1024);
    x6 = Fold(x6, Load(p + 96), m1024);
    x7 = Fold(x7, Load(p + 112), m1024);
  }
  __m128i x = Fold(x0, x1, m128);
  x = Fold(x, x2, m128);
  x = Fold(x, x3, m128);
  x = Fold(x, x4, m128);
  x = Fold(x, x5, m128);
  x = Fold(x, x6, m128);
  x = Fold(x, x7, m128);
  for (; size >= 16; size -= 16, p += 16) x = Fold(x, Load(p), m128);

  // x is congruent to everything folded so far: its CRC from a zero
  // register is the register for the data up to here.
  alignas(16) uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
  const uint32_t reg = UpdateRegister(UpdateRegister(0, rest, sizeof rest), p, size);
  return ~reg;
}

#else

bool HavePclmul() { return false; }

// Never chosen where HavePclmul() is false; kept so every build links.
uint32_t Pclmul(uint32_t crc, const uint8_t* p, size_t size) { return Generic(crc, p, size); }

#endif

}  // namespace ns::crc32
