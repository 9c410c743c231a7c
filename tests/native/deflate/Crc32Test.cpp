// CRC-32: every variant this processor can run, against an independent
// implementation (zlib natively, a bit-at-a-time reference everywhere), over
// random lengths, alignments and split points.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "zip/Crc32.h"
#include "zip/Crc32Impl.h"

#ifdef NS_TEST_HAVE_ZLIB
#include <zlib.h>
#endif

namespace ns {
namespace {

uint32_t BitwiseCrc(const uint8_t* p, size_t n) {
  uint32_t reg = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    reg ^= p[i];
    for (int k = 0; k < 8; ++k) reg = (reg >> 1) ^ (0xEDB88320 & (0u - (reg & 1)));
  }
  return ~reg;
}

uint32_t Reference(const uint8_t* p, size_t n) {
#ifdef NS_TEST_HAVE_ZLIB
  const uint32_t z = static_cast<uint32_t>(::crc32(0, p, static_cast<uInt>(n)));
  EXPECT_EQ(z, BitwiseCrc(p, n));
  return z;
#else
  return BitwiseCrc(p, n);
#endif
}

using TVariant = uint32_t (*)(uint32_t, const uint8_t*, size_t);

uint32_t Dispatched(uint32_t crc, const uint8_t* p, size_t n) { return Crc32(crc, p, n); }

std::vector<std::pair<const char*, TVariant>> Variants() {
  std::vector<std::pair<const char*, TVariant>> v = {{"generic", crc32::Generic}, {"dispatched", Dispatched}};
  if (crc32::HavePclmul()) v.push_back({"pclmul", crc32::Pclmul});
  return v;
}

TEST(Crc32, KnownValues) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  for (const auto& [name, f] : Variants()) {
    SCOPED_TRACE(name);
    EXPECT_EQ(f(0, digits, 9), 0xCBF43926u);
    EXPECT_EQ(f(0, digits, 0), 0u);
    EXPECT_EQ(f(0x12345678, digits, 0), 0x12345678u);
  }
}

TEST(Crc32, RandomLengthsAlignmentsAndSplits) {
  std::mt19937_64 rng(7);
  std::vector<uint8_t> data(300000);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (const auto& [name, f] : Variants()) {
    SCOPED_TRACE(name);
    for (int round = 0; round < 300; ++round) {
      // Mostly short and medium lengths around the folding thresholds, now
      // and then long ones.
      const size_t len = round % 10 == 0 ? rng() % 200000 : rng() % 2000;
      const size_t offset = rng() % 64;
      const uint8_t* p = data.data() + offset;
      const uint32_t expected = Reference(p, len);
      ASSERT_EQ(f(0, p, len), expected) << "length " << len << " offset " << offset;
      // The same data in three pieces, split anywhere.
      size_t a = len ? rng() % (len + 1) : 0, b = len ? rng() % (len + 1) : 0;
      if (a > b) std::swap(a, b);
      uint32_t crc = f(0, p, a);
      crc = f(crc, p + a, b - a);
      crc = f(crc, p + b, len - b);
      ASSERT_EQ(crc, expected) << "length " << len << " split " << a << "/" << b;
    }
  }
}

TEST(Crc32, VariantsContinueEachOther) {
  std::mt19937_64 rng(11);
  std::vector<uint8_t> data(10000);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  const uint32_t expected = Reference(data.data(), data.size());
  const auto variants = Variants();
  for (const auto& [n1, f1] : variants)
    for (const auto& [n2, f2] : variants) {
      SCOPED_TRACE(std::string(n1) + "+" + n2);
      EXPECT_EQ(f2(f1(0, data.data(), 4321), data.data() + 4321, data.size() - 4321), expected);
    }
}

TEST(Crc32, EnvironmentSwitchChoosesTheGenericVariant) {
  // Registered twice in CTest, once with NS_DISABLE_CPU_FEATURES=1; that run
  // must not touch the accelerated code, which the dispatched result alone
  // cannot show, so check the switch reads as it was set.
  const char* value = std::getenv("NS_DISABLE_CPU_FEATURES");
  const bool set = value != nullptr && std::string(value) == "1";
  EXPECT_EQ(crc32::CpuFeaturesDisabled(), set);
}

}  // namespace
}  // namespace ns
