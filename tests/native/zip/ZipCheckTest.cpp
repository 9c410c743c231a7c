// Reading entries back: an archive the writer just made is sound entry by
// entry, and damage that happens between writing and reading back (shown by
// a file system that changes the bytes as they are read) is found, with a
// reason that says what is wrong.
#include "zip/ZipCheck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>

#include "TestFolder.h"
#include "zip/Crc32.h"
#include "zip/ZipWriter.h"

namespace ns {
namespace {

using namespace ns::testing;

uint32_t CrcOf(const std::string& data) { return Crc32(0, data.data(), data.size()); }

std::string Hex(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

// Where each entry's pieces lie in the archive.
struct TPlace {
  TZipEntry entry;
  uint64_t local = 0;    // local header
  uint64_t data = 0;     // its data
  uint64_t central = 0;  // central header
};

std::map<std::string, TPlace> Places(const std::string& archive) {
  auto file = SystemFileSystem().OpenRead(archive);
  const TZipDirectory directory = ReadZipDirectory(*file);
  std::map<std::string, TPlace> places;
  uint64_t central = directory.offset;
  for (const TZipEntry& e : directory.entries) {
    places[e.name] = {e, e.localHeaderOffset, e.localHeaderOffset + zipformat::local::kSize + e.name.size(), central};
    central += zipformat::central::kSize + e.name.size() + e.extra.size() + e.comment.size();
  }
  return places;
}

class ZipCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = {{"log.txt", Text(300001)}, {"noise.bin", Noise(200000)}, {"empty.dt", ""}, {"small.txt", "small"}};
    ZipWriter writer;
    writer.ZipName = archive_ = folder_.Path("1C8-240101.zip");
    for (const auto& [name, content] : files_) writer.FilesList.push_back(folder_.Write(name, content));
    ASSERT_EQ(writer.Zip(), 4);
    written_ = writer.Written();
  }

  TTestFolder folder_;
  std::map<std::string, std::string> files_;
  std::string archive_;
  std::vector<TZipEntry> written_;
};

TEST_F(ZipCheck, TheWriterTellsTheCrcOfWhatItReadAndEveryEntryReadsBack) {
  ASSERT_EQ(written_.size(), files_.size());
  for (const TZipEntry& entry : written_) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(entry.crc, CrcOf(files_.at(entry.name)));
    EXPECT_EQ(VerifyZipEntry(SystemFileSystem(), archive_, entry.name, entry.crc), std::nullopt);
  }
  {
    // Closed before the archive is rewritten: Windows keeps an open file from being replaced.
    TZipChecker checker(SystemFileSystem(), archive_);
    ASSERT_EQ(checker.Entries().size(), files_.size());
    for (const TZipEntry& entry : checker.Entries()) EXPECT_EQ(checker.Check(entry), std::nullopt) << entry.name;
  }

  // An unchanged file is not written again, so there is nothing new to check.
  ZipWriter again;
  again.ZipName = archive_;
  again.FilesList = {folder_.Path("log.txt")};
  EXPECT_EQ(again.Zip(), 0);
  EXPECT_TRUE(again.Written().empty());
}

TEST_F(ZipCheck, NamesTheEntryOrTheArchiveThatIsMissingAndACrcThatDiffersFromThePackedFile) {
  const uint32_t crc = CrcOf(files_.at("log.txt"));
  EXPECT_EQ(VerifyZipEntry(SystemFileSystem(), archive_, "LOG.TXT", crc), std::nullopt) << "names compare as the writer compares them";
  EXPECT_EQ(VerifyZipEntry(SystemFileSystem(), archive_, "log.txt", crc ^ 1),
            "the data's CRC-32 is " + Hex(crc) + ", the packed file's was " + Hex(crc ^ 1));
  EXPECT_EQ(VerifyZipEntry(SystemFileSystem(), archive_, "other.dt", std::nullopt),
            "the archive holds no entry named \"other.dt\"");
  EXPECT_TRUE(VerifyZipEntry(SystemFileSystem(), folder_.Path("none.zip"), "log.txt", crc).has_value());
  folder_.Write("text.zip", "not an archive");
  EXPECT_EQ(VerifyZipEntry(SystemFileSystem(), folder_.Path("text.zip"), "log.txt", crc), "Incomplete Zip File");
}

TEST_F(ZipCheck, DamageBetweenWritingAndReadingBackIsFound) {
  const auto places = Places(archive_);
  const TPlace& log = places.at("log.txt");
  const TPlace& noise = places.at("noise.bin");
  // Sizes whose lowest bit, flipped, makes them one larger and one smaller.
  ASSERT_EQ(noise.entry.uncompressedSize, 200000u);
  ASSERT_EQ(log.entry.uncompressedSize, 300001u);
  ASSERT_EQ(noise.entry.method, zipformat::kMethodDeflated);
  const struct {
    const char* what;
    std::string entry;
    std::function<void(TFaultyFileSystem&)> damage;
    std::string reason;  // what the reason starts with
  } cases[] = {
      {"a bit flipped in incompressible data", "noise.bin",
       [&](TFaultyFileSystem& fs) { fs.xorAt[noise.data + 1000] = 0x10; }, "the data's CRC-32 is "},
      {"a bit flipped in compressed text", "log.txt",
       [&](TFaultyFileSystem& fs) { fs.xorAt[log.data + log.entry.compressedSize / 2] = 0x04; }, "the data"},
      {"the CRC wrong in both headers", "log.txt",
       [&](TFaultyFileSystem& fs) {
         fs.xorAt[log.local + zipformat::local::kCrc] = 0x01;
         fs.xorAt[log.central + zipformat::central::kCrc] = 0x01;
       },
       "the data's CRC-32 is "},
      {"the CRC wrong in the directory only", "log.txt",
       [&](TFaultyFileSystem& fs) { fs.xorAt[log.central + zipformat::central::kCrc] = 0x01; },
       "the local header's CRC-32 differs from the central directory's"},
      {"a size one byte too large in both headers", "noise.bin",
       [&](TFaultyFileSystem& fs) {
         fs.xorAt[noise.local + zipformat::local::kUncompressedSize] = 0x01;
         fs.xorAt[noise.central + zipformat::central::kUncompressedSize] = 0x01;
       },
       "the data holds 200000 bytes, the directory records 200001"},
      {"a size one byte too small in both headers", "log.txt",
       [&](TFaultyFileSystem& fs) {
         fs.xorAt[log.local + zipformat::local::kUncompressedSize] = 0x01;
         fs.xorAt[log.central + zipformat::central::kUncompressedSize] = 0x01;
       },
       "the data does not inflate: the stream holds more data than expected"},
      {"data missing from the middle of the entry", "log.txt",
       [&](TFaultyFileSystem& fs) {
         fs.missingFrom = log.data + 100;
         fs.missingTo = log.data + 200;
       },
       "the data is cut short"},
      {"the archive cut inside the entry", "log.txt", [&](TFaultyFileSystem& fs) { fs.cutAt = log.data + 100; },
       "Incomplete Zip File"},
      {"the local header's name changed", "log.txt",
       [&](TFaultyFileSystem& fs) { fs.xorAt[log.local + zipformat::local::kSize] = 0x20; },
       "the local header's name differs from the central directory's"},
      {"no local header", "log.txt", [&](TFaultyFileSystem& fs) { fs.xorAt[log.local] = 0xFF; },
       "no local header where the directory points"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TFaultyFileSystem fs;
    fs.damaged = archive_;
    c.damage(fs);
    const auto reason = VerifyZipEntry(fs, archive_, c.entry, CrcOf(files_.at(c.entry)));
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(reason->substr(0, c.reason.size()), c.reason) << *reason;
    // The other entries are neither read nor harmed, unless the damage took
    // the directory with it.
    if (fs.cutAt == UINT64_MAX) {
      EXPECT_EQ(VerifyZipEntry(fs, archive_, "small.txt", CrcOf("small")), std::nullopt);
    }
  }
}

// The entry named `entryName` of the archive, extracted as the restore check
// extracts it; why not when the archive holds no such entry.
std::optional<std::string> ExtractZipEntry(TFileSystem& fileSystem, const std::string& archivePath,
                                           const std::string& entryName, const std::string& outputPath) {
  TZipChecker checker(fileSystem, archivePath);
  const TZipEntry* entry = checker.Find(entryName);
  if (!entry) return "the archive holds no entry named \"" + entryName + "\"";
  return checker.Extract(*entry, fileSystem, outputPath);
}

// Extracting copies out exactly what it proves: a sound entry lands whole, a
// damaged, missing or unwritable one leaves no file behind.
TEST_F(ZipCheck, ExtractingCopiesASoundEntryAndLeavesNothingOfAnUnsoundOne) {
  const std::string out = folder_.Path("restored.dt");
  for (const char* entry : {"log.txt", "NOISE.BIN", "empty.dt"}) {
    SCOPED_TRACE(entry);
    ASSERT_EQ(ExtractZipEntry(SystemFileSystem(), archive_, entry, out), std::nullopt);
    std::string wanted = entry == std::string("NOISE.BIN") ? "noise.bin" : entry;
    EXPECT_EQ(ReadAll(out), files_.at(wanted));
    SystemFileSystem().Remove(out);
  }

  const TPlace log = Places(archive_).at("log.txt");
  TFaultyFileSystem damaged;
  damaged.damaged = archive_;
  damaged.xorAt[log.data + log.entry.compressedSize / 2] = 0x04;
  auto reason = ExtractZipEntry(damaged, archive_, "log.txt", out);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(reason->substr(0, 8), "the data") << *reason;
  EXPECT_FALSE(SystemFileSystem().Status(out).has_value()) << "a partial copy was left";

  TFaultyFileSystem full;
  full.writeBudget = 1000;
  EXPECT_TRUE(ExtractZipEntry(full, archive_, "log.txt", out).has_value());
  EXPECT_FALSE(SystemFileSystem().Status(out).has_value()) << "a partial copy was left on a full disk";

  EXPECT_EQ(ExtractZipEntry(SystemFileSystem(), archive_, "other.dt", out),
            "the archive holds no entry named \"other.dt\"");
  EXPECT_FALSE(SystemFileSystem().Status(out).has_value());

  // A file already in the place is neither overwritten nor removed.
  folder_.Write("restored.dt", "keep");
  reason = ExtractZipEntry(SystemFileSystem(), archive_, "log.txt", out);
  ASSERT_TRUE(reason.has_value());
  EXPECT_EQ(ReadAll(out), "keep");
}

}  // namespace
}  // namespace ns
