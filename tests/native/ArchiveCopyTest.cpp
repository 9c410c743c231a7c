// The second copy of an archive: copied whole and proven before it takes its
// place; a missing folder, a full disk, damage on the way and an archive of
// the same name holding another task's dump each fail the copy and leave the
// copy folder as it was.
#include "backup/ArchiveCopy.h"

#include <gtest/gtest.h>

#include "TestFolder.h"
#include "zip/ZipCheck.h"
#include "zip/ZipWriter.h"

namespace ns {
namespace {

using namespace ns::testing;

class ArchiveCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    archive_ = Pack(folder_.MakeFolder("primary"), {{"Daily.dt", Noise(300000)}, {"Other.dt", Text(1000)}});
    copies_ = folder_.MakeFolder("copies");
    target_ = copies_ + kPathSeparator + "1C8-261211.zip";
  }

  // An archive named as the day's archive in `folder`, holding these files.
  std::string Pack(const std::string& folder, const std::map<std::string, std::string>& files) {
    ZipWriter writer;
    writer.ZipName = folder + kPathSeparator + "1C8-261211.zip";
    for (const auto& [name, content] : files) writer.FilesList.push_back(folder_.Write(name, content));
    EXPECT_EQ(writer.Zip(), static_cast<int>(files.size()));
    return writer.ZipName;
  }

  bool Exists(const std::string& path) { return SystemFileSystem().Status(path).has_value(); }
  void ExpectNoTemporaryFile() { EXPECT_FALSE(Exists(target_ + ".copy.tmp")); }

  TTestFolder folder_;
  std::string archive_, copies_, target_;
};

TEST_F(ArchiveCopy, ACopyIsTheArchiveByteForByteAndReplacesAnOlderCopyOfItself) {
  ASSERT_EQ(CopyArchive(SystemFileSystem(), archive_, copies_, "Daily.dt"), std::nullopt);
  EXPECT_EQ(ReadAll(target_), ReadAll(archive_));
  ExpectNoTemporaryFile();

  // An earlier run's copy that holds this task's entry only, or that cannot
  // be read at all, gives way to the new one.
  for (const std::string& earlier : {ReadAll(Pack(folder_.MakeFolder("earlier"), {{"Daily.dt", "yesterday"}})),
                                     std::string("not an archive")}) {
    SystemFileSystem().Remove(target_);
    folder_.Write("copies" + std::string(1, kPathSeparator) + "1C8-261211.zip", earlier);
    ASSERT_EQ(CopyArchive(SystemFileSystem(), archive_, copies_, "Daily.dt"), std::nullopt);
    EXPECT_EQ(ReadAll(target_), ReadAll(archive_));
  }
}

TEST_F(ArchiveCopy, AFailedCopyLeavesTheFolderAsItWas) {
  // Another task's dump in an archive of the same name: never lost.
  const std::string foreign = ReadAll(Pack(folder_.MakeFolder("elsewhere"), {{"Склад.dt", "склад"}}));
  const std::string foreignName = "copies" + std::string(1, kPathSeparator) + "1C8-261211.zip";

  const struct {
    const char* what;
    std::string copyFolder;
    std::function<void(TFaultyFileSystem&)> fault;
    bool foreignThere;
    std::string reason;  // what the reason starts with
  } cases[] = {
      {"a copy folder that is missing", folder_.Path("нет такого"), nullptr, false, "каталог "},
      {"a full disk", copies_, [](TFaultyFileSystem& fs) { fs.writeBudget = 4096; }, false, ""},
      {"a copy damaged on its way", copies_,
       [&](TFaultyFileSystem& fs) {
         fs.damaged = target_ + ".copy.tmp";
         fs.xorAt[1000] = 0x10;
       },
       false, "the copy is unsound: "},
      {"an archive of that name with another task's dump", copies_, nullptr, true, "архив "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (Exists(target_)) SystemFileSystem().Remove(target_);
    if (c.foreignThere) folder_.Write(foreignName, foreign);
    TFaultyFileSystem fs;
    if (c.fault) c.fault(fs);
    auto reason = CopyArchive(fs, archive_, c.copyFolder, "Daily.dt");
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(reason->substr(0, c.reason.size()), c.reason) << *reason;
    if (c.foreignThere) {
      EXPECT_NE(reason->find("Склад.dt"), std::string::npos) << *reason;
      EXPECT_EQ(ReadAll(target_), foreign);
    } else {
      EXPECT_FALSE(Exists(target_));
    }
    ExpectNoTemporaryFile();
  }
}

}  // namespace
}  // namespace ns
