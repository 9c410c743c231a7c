// ZIP64 fields appear exactly where a value outgrows its classic field, in
// the order and layout readers expect. Archives that large are too slow for a
// test to write, so the records are checked here byte by byte.
#include "zip/ZipFormat.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

constexpr uint64_t kGiB = uint64_t(1) << 30;

uint64_t Le(const std::string& s, size_t at, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = bytes; i-- > 0;) value = (value << 8) | static_cast<uint8_t>(s.at(at + i));
  return value;
}

TEST(ZipFormat, CentralHeaderCarriesOnlyTheValuesThatDoNotFit) {
  struct Case {
    uint64_t uncompressed, compressed, offset;
    std::vector<uint64_t> zip64;  // the values expected in the ZIP64 field, in order
  } cases[] = {
      {100, 50, 4 * kGiB - 2, {}},
      {100, 50, 5 * kGiB, {5 * kGiB}},
      {5 * kGiB, 3 * kGiB, 6 * kGiB, {5 * kGiB, 6 * kGiB}},
      {4 * kGiB - 1, 4 * kGiB - 1, 0, {4 * kGiB - 1, 4 * kGiB - 1}},  // all ones means "see ZIP64"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    TZipEntry entry;
    entry.name = "dump.dt";
    entry.uncompressedSize = c.uncompressed;
    entry.compressedSize = c.compressed;
    entry.localHeaderOffset = c.offset;
    entry.extra = std::string("\x0a\x00\x04\x00" "abcd", 8);  // another tool's field stays, after ours
    std::string h = BuildCentralHeader(entry);
    bool zip64 = !c.zip64.empty();
    EXPECT_EQ(Le(h, 6, 2), zip64 ? 45u : 20u);
    EXPECT_EQ(Le(h, 20, 4), c.compressed >= 0xFFFFFFFF ? 0xFFFFFFFF : c.compressed);
    EXPECT_EQ(Le(h, 24, 4), c.uncompressed >= 0xFFFFFFFF ? 0xFFFFFFFF : c.uncompressed);
    EXPECT_EQ(Le(h, 42, 4), c.offset >= 0xFFFFFFFF ? 0xFFFFFFFF : c.offset);
    size_t field = zip64 ? 4 + 8 * c.zip64.size() : 0;
    ASSERT_EQ(Le(h, 30, 2), field + 8);
    if (zip64) {
      EXPECT_EQ(Le(h, 53, 2), 1u);
      EXPECT_EQ(Le(h, 55, 2), 8 * c.zip64.size());
      for (size_t i = 0; i < c.zip64.size(); ++i) EXPECT_EQ(Le(h, 57 + 8 * i, 8), c.zip64[i]);
    }
    EXPECT_EQ(h.substr(53 + field), entry.extra);

    TZipEntry back;
    ASSERT_EQ(ParseCentralHeader(reinterpret_cast<const uint8_t*>(h.data()), h.size(), back), h.size());
    EXPECT_EQ(back.uncompressedSize, c.uncompressed);
    EXPECT_EQ(back.compressedSize, c.compressed);
    EXPECT_EQ(back.localHeaderOffset, c.offset);
    EXPECT_EQ(back.extra, entry.extra);
  }
}

TEST(ZipFormat, EndRecordsTurnZip64WhenTheDirectoryOutgrowsThem) {
  std::string classic = BuildEndRecords(65534, 1000, 4 * kGiB - 2, "note");
  ASSERT_EQ(classic.size(), 22u + 4);
  EXPECT_EQ(Le(classic, 10, 2), 65534u);

  std::string big = BuildEndRecords(70000, 1000, 5 * kGiB, "note");
  ASSERT_EQ(big.size(), 56u + 20 + 22 + 4);
  EXPECT_EQ(Le(big, 0, 4), 0x06064b50u);
  EXPECT_EQ(Le(big, 4, 8), 44u);
  EXPECT_EQ(Le(big, 24, 8), 70000u);
  EXPECT_EQ(Le(big, 32, 8), 70000u);
  EXPECT_EQ(Le(big, 40, 8), 1000u);
  EXPECT_EQ(Le(big, 48, 8), 5 * kGiB);
  EXPECT_EQ(Le(big, 56, 4), 0x07064b50u);
  EXPECT_EQ(Le(big, 64, 8), 5 * kGiB + 1000);  // the ZIP64 end record follows the directory
  EXPECT_EQ(Le(big, 72, 4), 1u);
  EXPECT_EQ(Le(big, 76, 4), 0x06054b50u);
  EXPECT_EQ(Le(big, 84, 2), 0xFFFFu);
  EXPECT_EQ(Le(big, 86, 2), 0xFFFFu);
  EXPECT_EQ(Le(big, 88, 4), 1000u);
  EXPECT_EQ(Le(big, 92, 4), 0xFFFFFFFFu);
  EXPECT_EQ(big.substr(96), std::string("\x04\x00note", 6));
}

TEST(ZipFormat, LocalHeaderWithRoomForBothSizes) {
  TZipEntry entry;
  entry.name = "a";
  entry.uncompressedSize = 5 * kGiB;
  entry.compressedSize = 7;
  std::string h = BuildLocalHeader(entry, {}, true);
  ASSERT_EQ(h.size(), 30u + 1 + 20);
  EXPECT_EQ(Le(h, 4, 2), 45u);
  EXPECT_EQ(Le(h, 18, 8), 0xFFFFFFFFFFFFFFFFu);
  EXPECT_EQ(Le(h, 28, 2), 20u);
  EXPECT_EQ(Le(h, 31, 2), 1u);
  EXPECT_EQ(Le(h, 33, 2), 16u);
  EXPECT_EQ(Le(h, 35, 8), 5 * kGiB);
  EXPECT_EQ(Le(h, 43, 8), 7u);
}

}  // namespace
}  // namespace ns
