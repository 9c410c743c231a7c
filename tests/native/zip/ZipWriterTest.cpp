// The writer against its archive format, byte by byte, and its behaviour on
// updates, deletions and failures. Independent readers judge the archives in
// interop.py; here the fields are read at their offsets by hand.
#include "zip/ZipWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestFolder.h"
#include "zip/Crc32.h"

namespace ns {
namespace {

using namespace ns::testing;

uint16_t U16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s.at(at)) | (static_cast<uint8_t>(s.at(at + 1)) << 8));
}
uint32_t U32(const std::string& s, size_t at) { return U16(s, at) | (static_cast<uint32_t>(U16(s, at + 2)) << 16); }
uint32_t CrcOf(const std::string& data) { return Crc32(0, data.data(), data.size()); }

// One entry of a classic archive without comment, found the way a strict
// reader finds it, with its local header checked against its central one.
struct TRawEntry {
  std::string name;
  uint16_t flags, method, internal, time, date;
  uint32_t crc, external, local;
  std::string data;  // as stored
};

std::vector<TRawEntry> RawEntries(const std::string& a) {
  size_t end = a.size() - 22;
  EXPECT_EQ(U32(a, end), 0x06054b50u);
  std::vector<TRawEntry> entries;
  size_t at = U32(a, end + 16);
  for (int i = 0; i < U16(a, end + 10); ++i) {
    EXPECT_EQ(U32(a, at), 0x02014b50u);
    TRawEntry e;
    e.flags = U16(a, at + 8);
    e.method = U16(a, at + 10);
    e.time = U16(a, at + 12);
    e.date = U16(a, at + 14);
    e.crc = U32(a, at + 16);
    e.internal = U16(a, at + 36);
    e.external = U32(a, at + 38);
    e.local = U32(a, at + 42);
    e.name = a.substr(at + 46, U16(a, at + 28));
    size_t l = e.local;
    EXPECT_EQ(U32(a, l), 0x04034b50u);
    EXPECT_EQ(a.substr(l + 4, 26).substr(0, 22), a.substr(at + 6, 22)) << "local and central fields differ";
    e.data = a.substr(l + 30 + U16(a, l + 26) + U16(a, l + 28), U32(a, at + 20));
    entries.push_back(e);
    at += 46 + U16(a, at + 28) + U16(a, at + 30) + U16(a, at + 32);
  }
  EXPECT_EQ(at, end);
  return entries;
}

std::vector<std::string> NamesOf(const std::string& archive) {
  std::vector<std::string> names;
  for (const auto& e : RawEntries(archive)) names.push_back(e.name);
  return names;
}

TEST(ZipWriter, WritesANewArchiveWithTheFieldsOfTheFormat) {
  TTestFolder folder;
  std::string content = Text(100000);
  std::string file = folder.Write("Report.txt", content);
  ZipWriter writer;
  writer.ZipName = folder.Path("a.zip");
  writer.FilesList = {file};
  EXPECT_EQ(writer.Zip(), 1);

  std::string a = ReadAll(writer.ZipName);
  auto status = SystemFileSystem().Status(file);
  ASSERT_TRUE(status);
  // Local header.
  EXPECT_EQ(U32(a, 0), 0x04034b50u);
  EXPECT_EQ(U16(a, 4), 20);
  EXPECT_EQ(U16(a, 6), 0);
  EXPECT_EQ(U16(a, 8), 8);
  EXPECT_EQ(U16(a, 10), status->dosTime);
  EXPECT_EQ(U16(a, 12), status->dosDate);
  EXPECT_EQ(U32(a, 14), CrcOf(content));
  uint32_t compressed = U32(a, 18);
  EXPECT_LT(compressed, content.size() / 4);
  EXPECT_EQ(U32(a, 22), content.size());
  EXPECT_EQ(U16(a, 26), 10);
  EXPECT_EQ(U16(a, 28), 0);
  EXPECT_EQ(a.substr(30, 10), "Report.txt");
  // Central directory header.
  size_t c = 40 + compressed;
  EXPECT_EQ(U32(a, c), 0x02014b50u);
  EXPECT_EQ(U16(a, c + 4), 20);
  EXPECT_EQ(U16(a, c + 6), 20);
  EXPECT_EQ(a.substr(c + 8, 22), a.substr(6, 22));
  EXPECT_EQ(U16(a, c + 30), 0);
  EXPECT_EQ(U16(a, c + 32), 0);
  EXPECT_EQ(U16(a, c + 34), 0);
  EXPECT_EQ(U16(a, c + 36), 1);
  EXPECT_EQ(U32(a, c + 38), 0x20u);
  EXPECT_EQ(U32(a, c + 42), 0u);
  EXPECT_EQ(a.substr(c + 46, 10), "Report.txt");
  // End record.
  size_t e = c + 56;
  ASSERT_EQ(a.size(), e + 22);
  EXPECT_EQ(U32(a, e), 0x06054b50u);
  EXPECT_EQ(U32(a, e + 4), 0u);
  EXPECT_EQ(U16(a, e + 8), 1);
  EXPECT_EQ(U16(a, e + 10), 1);
  EXPECT_EQ(U32(a, e + 12), 56u);
  EXPECT_EQ(U32(a, e + 16), c);
  EXPECT_EQ(U16(a, e + 20), 0);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Report.txt", "a.zip"}));
}

TEST(ZipWriter, StoresWhatDoesNotShrinkAndTellsTextFromBinary) {
  TTestFolder folder;
  struct Case {
    const char* name;
    std::string content;
    uint16_t method;
    uint16_t internal;
  } cases[] = {
      {"empty.dat", "", 0, 1},                 // stored, CRC 0, counts as text
      {"noise.bin", Noise(3000), 0, 0},        // incompressible: stored unchanged
      {"short.txt", "abc", 0, 1},              // too short to shrink
      {"log.txt", Text(20000), 8, 1},
      {"zeros.bin", std::string(20000, '\0'), 8, 0},
  };
  ZipWriter writer;
  writer.ZipName = folder.Path("a.zip");
  for (const auto& c : cases) writer.FilesList.push_back(folder.Write(c.name, c.content));
  EXPECT_EQ(writer.Zip(), 5);
  auto entries = RawEntries(ReadAll(writer.ZipName));
  ASSERT_EQ(entries.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(entries[i].name, cases[i].name);
    EXPECT_EQ(entries[i].method, cases[i].method);
    EXPECT_EQ(entries[i].internal, cases[i].internal);
    EXPECT_EQ(entries[i].crc, CrcOf(cases[i].content));
    if (cases[i].method == 0) {
      EXPECT_EQ(entries[i].data, cases[i].content);
    }
  }
}

TEST(ZipWriter, UpdatesEntriesInPlaceOnlyWhenTheFileIsNewer) {
  TTestFolder folder;
  TFaultyFileSystem fileSystem;
  std::string first = folder.Write("first.txt", Text(5000));
  std::string second = folder.Write("second.bin", Noise(70000));
  auto zip = [&](std::vector<std::string> files, TZipAction action = zaUpdate) {
    ZipWriter writer(fileSystem);
    writer.ZipName = folder.Path("a.zip");
    writer.FilesList = std::move(files);
    writer.ZipAction = action;
    return writer.Zip();
  };
  EXPECT_EQ(zip({first}), 1);
  EXPECT_EQ(zip({second}), 1);
  std::string before = ReadAll(folder.Path("a.zip"));
  EXPECT_EQ(NamesOf(before), (std::vector<std::string>{"first.txt", "second.bin"}));

  // Unchanged: the entry stays and the archive is rewritten identically.
  EXPECT_EQ(zip({first}), 0);
  EXPECT_EQ(ReadAll(folder.Path("a.zip")), before);

  // Newer: replaced where it was, the other entry copied byte for byte.
  std::string newer = Text(9000);
  folder.Write("first.txt", newer);
  fileSystem.dosDates[first] = static_cast<uint16_t>(SystemFileSystem().Status(first)->dosDate + 1);
  EXPECT_EQ(zip({first}), 1);
  auto entries = RawEntries(ReadAll(folder.Path("a.zip")));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "first.txt");
  EXPECT_EQ(entries[0].crc, CrcOf(newer));
  EXPECT_EQ(entries[0].date, fileSystem.dosDates[first]);
  EXPECT_EQ(entries[1].data, RawEntries(before)[1].data);

  // An older file does not replace a newer entry, not even under another
  // letter case; zaReplace replaces it all the same.
  fileSystem.dosDates.clear();
  std::string upper = folder.Write("FIRST.TXT.new", Text(100));
  std::string renamed = folder.MakeFolder("sub") + kPathSeparator + "FIRST.TXT";
  SystemFileSystem().Replace(upper, renamed);
  EXPECT_EQ(zip({renamed}), 0);
  EXPECT_EQ(zip({renamed}, zaReplace), 1);
  entries = RawEntries(ReadAll(folder.Path("a.zip")));
  EXPECT_EQ(entries[0].name, "FIRST.TXT");
  EXPECT_EQ(entries[0].crc, CrcOf(Text(100)));

  // zaFreshen adds nothing new and replaces only what is older.
  std::string third = folder.Write("third.txt", "3");
  EXPECT_EQ(zip({third, second}, zaFreshen), 0);
  fileSystem.dosDates[second] = static_cast<uint16_t>(SystemFileSystem().Status(second)->dosDate + 1);
  EXPECT_EQ(zip({third, second}, zaFreshen), 1);
  EXPECT_EQ(NamesOf(ReadAll(folder.Path("a.zip"))), (std::vector<std::string>{"FIRST.TXT", "second.bin"}));
}

TEST(ZipWriter, NamesEntriesInTheOemCodePageWithoutFolders) {
  TTestFolder folder;
  std::string report = folder.MakeFolder("archive") + kPathSeparator + "Отчёт за 2024.txt";
  SystemFileSystem().Replace(folder.Write("report", "отчёт"), report);
  std::string lower = folder.Write("отчёт за 2024.txt", "другой");
  std::string twin = folder.MakeFolder("twin") + kPathSeparator + "Отчёт за 2024.txt";
  SystemFileSystem().Replace(folder.Write("twin-file", "twin"), twin);

  ZipWriter writer;
  writer.ZipName = folder.Path("a.zip");
  // The twin has the same entry name as the first file and is skipped;
  // Cyrillic letters are not folded, so the lower-case name is another entry.
  writer.FilesList = {report, twin, lower};
  EXPECT_EQ(writer.Zip(), 2);
  auto names = NamesOf(ReadAll(writer.ZipName));
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "\x8E\xE2\xE7\xF1\xE2 \xA7\xA0 2024.txt");
  EXPECT_EQ(names[1], "\xAE\xE2\xE7\xF1\xE2 \xA7\xA0 2024.txt");
  writer.ReadZip();
  ASSERT_EQ(writer.Count(), 2);
  EXPECT_EQ(ZipWriter::DisplayName(writer.Entries()[0]), "Отчёт за 2024.txt");

  writer.FilesList = {"ОТЧЁТ ЗА 2024.TXT", "отчёт за 2024.txt"};
  EXPECT_EQ(writer.DeleteEntries(), 1);
  writer.ReadZip();
  ASSERT_EQ(writer.Count(), 1);
  EXPECT_EQ(ZipWriter::DisplayName(writer.Entries()[0]), "Отчёт за 2024.txt");
}

TEST(ZipWriter, StorePathsAndRecurseNameEntriesAfterTheirFolders) {
  TTestFolder folder;
  std::string base = folder.MakeFolder("base");
  folder.MakeFolder(std::string("base") + kPathSeparator + "deep");
  folder.Write(std::string("base") + kPathSeparator + "a.txt", "a");
  folder.Write(std::string("base") + kPathSeparator + "deep" + kPathSeparator + "b.txt", "b");
  ZipWriter writer;
  writer.ZipName = folder.Path("a.zip");
  writer.FilesList = {base};
  EXPECT_EQ(writer.Zip(), 0);  // a folder is no file without Recurse

  writer.Recurse = true;
  writer.StorePaths = true;
  EXPECT_EQ(writer.Zip(), 2);
  auto names = NamesOf(ReadAll(writer.ZipName));
  ASSERT_EQ(names.size(), 2u);
  std::string folderName = base.substr(base.find_first_not_of("\\/", base.find(':') + 1));
  std::replace(folderName.begin(), folderName.end(), '\\', '/');
  EXPECT_EQ(names[0], folderName + "/a.txt");
  EXPECT_EQ(names[1], folderName + "/deep/b.txt");
}

TEST(ZipWriter, EmptyArchivesAndDeletions) {
  TTestFolder folder;
  ZipWriter writer;
  writer.ZipName = folder.Path("a.zip");
  writer.FilesList = {folder.Path("missing.dt")};
  EXPECT_EQ(writer.Zip(), 0);
  std::string empty = ReadAll(writer.ZipName);
  EXPECT_EQ(empty, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  writer.ReadZip();
  EXPECT_EQ(writer.Count(), 0);

  writer.FilesList = {folder.Write("one.txt", Text(3000)), folder.Write("two.txt", Text(4000))};
  EXPECT_EQ(writer.Zip(), 2);
  std::string both = ReadAll(writer.ZipName);

  writer.FilesList = {"absent.txt"};
  EXPECT_EQ(writer.DeleteEntries(), 0);
  EXPECT_EQ(ReadAll(writer.ZipName), both);

  writer.FilesList = {"ONE.txt"};
  EXPECT_EQ(writer.DeleteEntries(), 1);
  auto left = RawEntries(ReadAll(writer.ZipName));
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].name, "two.txt");
  EXPECT_EQ(left[0].local, 0u);
  EXPECT_EQ(left[0].data, RawEntries(both)[1].data);

  writer.FilesList = {"two.txt"};
  EXPECT_EQ(writer.DeleteEntries(), 1);
  EXPECT_EQ(ReadAll(writer.ZipName), empty);
  writer.ReadZip();
  EXPECT_EQ(writer.Count(), 0);
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"a.zip", "one.txt", "two.txt"}));
}

TEST(ZipWriter, KeepsTheCommentOfTheArchiveItUpdates) {
  TTestFolder folder;
  ZipWriter writer;
  writer.ZipName = folder.Path("a.zip");
  writer.FilesList = {folder.Write("one.txt", "1")};
  writer.Zip();
  std::string a = ReadAll(writer.ZipName);
  a[a.size() - 2] = 7;
  folder.Write("a.zip", a + "comment");

  writer.FilesList = {folder.Write("two.txt", "2")};
  EXPECT_EQ(writer.Zip(), 1);
  a = ReadAll(writer.ZipName);
  EXPECT_EQ(a.substr(a.size() - 9), std::string("\x07\0comment", 9));
  writer.ReadZip();
  EXPECT_EQ(writer.Count(), 2);
}

TEST(ZipWriter, RefusesWhatIsNoArchiveAndLeavesItAlone) {
  TTestFolder folder;
  struct Case {
    const char* what;
    std::string content;
    const char* message;
  } cases[] = {
      {"text", Text(5000), "Incomplete Zip File"},
      {"too short", std::string("PK\x05\x06", 4), "Incomplete Zip File"},
      {"directory beyond the file", std::string("PK\x05\x06\0\0\0\0\1\0\1\0\x2e\0\0\0\0\1\0\0\0\0", 22),
       "Damaged Zip File"},
      {"header that is none", std::string(46, 'x') + std::string("PK\x05\x06\0\0\0\0\1\0\1\0\x2e\0\0\0\0\0\0\0\0\0", 22),
       "Damaged Zip File"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string path = folder.Write("bad.zip", c.content);
    auto names = folder.Names();
    ZipWriter writer;
    writer.ZipName = path;
    writer.FilesList = {folder.Write("x.txt", "x")};
    auto expectRefusal = [&](auto operation) {
      try {
        operation();
        ADD_FAILURE() << "no error";
      } catch (const EZipError& e) {
        EXPECT_STREQ(e.what(), c.message);
      }
      EXPECT_EQ(ReadAll(path), c.content);
      EXPECT_EQ(folder.Names(), (std::vector<std::string>{"bad.zip", "x.txt"}));
    };
    expectRefusal([&] { writer.ReadZip(); });
    expectRefusal([&] { writer.Zip(); });
    writer.FilesList = {"x.txt"};
    expectRefusal([&] { writer.DeleteEntries(); });
  }
}

// Each failure while the new archive is written leaves the old one as it
// was (or none, when there was none) and no temporary file.
// An archive holding one entry of another file, as a failed update must leave
// it; its bytes.
std::string ArchiveOfOneOtherEntry(TTestFolder& folder, const std::string& zipName) {
  ZipWriter first;
  first.ZipName = zipName;
  first.FilesList = {folder.Write("other.dt", Text(1000))};
  first.Zip();
  return ReadAll(zipName);
}

TEST(ZipWriter, FailuresLeaveTheOldArchiveAndNoTemporaryFile) {
  struct Case {
    const char* what;
    void (*arm)(TFaultyFileSystem&, const std::string& dump);
  } cases[] = {
      {"read error in the file being packed",
       [](TFaultyFileSystem& fs, const std::string& dump) {
         fs.failReadOf = dump;
         fs.failReadAfter = 2 << 20;
       }},
      {"disk full in the middle of the data", [](TFaultyFileSystem& fs, const std::string&) { fs.writeBudget = 100000; }},
      {"disk full at the directory", [](TFaultyFileSystem& fs, const std::string&) { fs.writeBudget = 0; }},
      {"final move refused", [](TFaultyFileSystem& fs, const std::string&) { fs.failReplace = true; }},
  };
  for (bool existing : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (existing ? ", archive existed" : ", no archive before"));
      TTestFolder folder;
      std::string dump = folder.Write("base.dt", Noise(3 << 20) + Text(3 << 20));
      std::string zipName = folder.Path("1C8-240101.zip");
      std::string old = existing ? ArchiveOfOneOtherEntry(folder, zipName) : std::string();
      auto names = folder.Names();
      TFaultyFileSystem fileSystem;
      c.arm(fileSystem, dump);
      ZipWriter writer(fileSystem);
      writer.ZipName = zipName;
      writer.FilesList = {dump};
      EXPECT_THROW(writer.Zip(), Exception);
      EXPECT_EQ(folder.Names(), names);
      if (existing) {
        EXPECT_EQ(ReadAll(zipName), old);
      }
    }
  }
}

// A caller that packs one file for a reason (a backup's dump) turns skipping
// off: a file it cannot read is then an error, raised before the archive is
// touched, while the default still passes such a file over.
TEST(ZipWriter, WithoutSkippingAFileThatCannotBeReadFailsBeforeAnythingIsWritten) {
  struct Case {
    const char* what;
    std::string (*make)(TTestFolder&, TFaultyFileSystem&);
  } cases[] = {
      {"missing", [](TTestFolder& folder, TFaultyFileSystem&) { return folder.Path("base.dt"); }},
      {"a folder", [](TTestFolder& folder, TFaultyFileSystem&) { return folder.MakeFolder("base.dt"); }},
      {"cannot be opened",
       [](TTestFolder& folder, TFaultyFileSystem& fs) {
         fs.failOpenOf = folder.Write("base.dt", Text(5000));
         return fs.failOpenOf;
       }},
  };
  for (bool existing : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (existing ? ", archive existed" : ", no archive before"));
      TTestFolder folder;
      TFaultyFileSystem fileSystem;
      std::string dump = c.make(folder, fileSystem);
      std::string zipName = folder.Path("1C8-240101.zip");
      std::string old = existing ? ArchiveOfOneOtherEntry(folder, zipName) : std::string();
      auto names = folder.Names();
      ZipWriter writer(fileSystem);
      writer.ZipName = zipName;
      writer.FilesList = {dump};
      writer.SkipUnreadable = false;
      try {
        writer.Zip();
        ADD_FAILURE() << "no error";
      } catch (const EUnreadableFile& error) {
        EXPECT_EQ(error.Path(), dump);
      }
      EXPECT_EQ(folder.Names(), names);
      if (existing) {
        EXPECT_EQ(ReadAll(zipName), old);
      }

      ZipWriter lenient(fileSystem);
      lenient.ZipName = zipName;
      lenient.FilesList = {dump};
      EXPECT_EQ(lenient.Zip(), 0);
      if (existing) {
        EXPECT_EQ(NamesOf(ReadAll(zipName)), (std::vector<std::string>{"other.dt"}));
      }
    }
  }
}

// Two writers of one archive at once: the second waits for the first and
// then adds its entry to the archive the first one left.
TEST(ZipWriter, WritersOfOneArchiveTakeTurns) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    TTestFolder folder;
    std::string zipName = folder.Path("1C8-240101.zip");
    std::string dumps[] = {folder.Write("a.dt", Noise(2 << 20, 1)), folder.Write("b.dt", Noise(2 << 20, 2))};
    auto pack = [&](const std::string& dump) {
      ZipWriter writer;
      writer.ZipName = zipName;
      writer.FilesList = {dump};
      writer.Zip();
    };
    std::thread first(pack, dumps[0]);
    std::thread second(pack, dumps[1]);
    first.join();
    second.join();
    auto names = NamesOf(ReadAll(zipName));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.dt", "b.dt"}));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"1C8-240101.zip", "a.dt", "b.dt"}));
  }
}

// A writer that never lets go holds the others up only so long; they fail
// and leave the archive as it was.
TEST(ZipWriter, AWriterThatWaitsTooLongGivesUp) {
  TTestFolder folder;
  ZipWriter writer;
  writer.ZipName = folder.Path("1C8-240101.zip");
  writer.FilesList = {folder.Write("a.dt", Text(1000))};
  writer.Zip();
  std::string old = ReadAll(writer.ZipName);

  auto held = SystemFileSystem().TryLock(ZipWriter::LockPath(writer.ZipName));
  ASSERT_TRUE(held);
  writer.LockWaitMs = 300;
  writer.FilesList = {folder.Write("b.dt", Text(1000))};
  EXPECT_THROW(writer.Zip(), EArchiveBusy);
  writer.FilesList = {"a.dt"};
  EXPECT_THROW(writer.DeleteEntries(), EArchiveBusy);
  EXPECT_EQ(ReadAll(writer.ZipName), old);

  // Let go while it waits: it goes on.
  writer.LockWaitMs = 60000;
  std::thread holder([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    held.reset();
  });
  EXPECT_EQ(writer.DeleteEntries(), 1);
  holder.join();
  EXPECT_EQ(NamesOf(ReadAll(writer.ZipName)), std::vector<std::string>{});
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"1C8-240101.zip", "a.dt", "b.dt"}));
}

// Names that code page 866 cannot hold (quotation marks, dashes, the
// ellipsis common in Russian task names) are written in UTF-8 with the flag
// that says so; a look-alike or "?" would make two tasks share one entry and
// leave the entry unmatched by its own task. Names 866 holds stay as they
// were. Replacing and deleting match names by what they say.
TEST(ZipWriter, NamesTheOemCodePageCannotHoldAreWrittenInUtf8) {
  TTestFolder folder;
  const struct {
    std::string name;    // as the program holds it (Windows-1251)
    std::string stored;  // as the archive must hold it
    uint16_t flags;
  } cases[] = {
      {"Бух «А».dt", "\xD0\x91\xD1\x83\xD1\x85\x20\xC2\xAB\xD0\x90\xC2\xBB\x2E\x64\x74", 0x0800},
      {"Бух „А“.dt", "\xD0\x91\xD1\x83\xD1\x85\x20\xE2\x80\x9E\xD0\x90\xE2\x80\x9C\x2E\x64\x74", 0x0800},
      {"Отчёт – итог….dt",
       "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82\x20\xE2\x80\x93\x20\xD0\xB8\xD1\x82\xD0\xBE\xD0\xB3\xE2\x80\xA6\x2E"
       "\x64\x74",
       0x0800},
      {"Склад №2.dt", "\x91\xAA\xAB\xA0\xA4\x20\xFC\x32\x2E\x64\x74", 0},
      {"Daily.dt", "Daily.dt", 0},
  };
  ZipWriter writer;
  writer.ZipName = folder.Path("1C8-261206.zip");
  for (const auto& c : cases) writer.FilesList.push_back(folder.Write(c.name, "dump of " + c.name));
  ASSERT_EQ(writer.Zip(), 5);
  auto check = [&](const std::vector<size_t>& present) {
    auto raw = RawEntries(ReadAll(writer.ZipName));
    ASSERT_EQ(raw.size(), present.size());
    writer.ReadZip();
    for (size_t i = 0; i < present.size(); ++i) {
      const auto& c = cases[present[i]];
      EXPECT_EQ(raw[i].name, c.stored) << c.name;
      EXPECT_EQ(raw[i].flags, c.flags) << c.name;
      EXPECT_EQ(ZipWriter::DisplayName(writer.Entries()[i]), c.name);
    }
  };
  check({0, 1, 2, 3, 4});

  // Each name finds its own entry and no other: replaced in place...
  writer.ZipAction = zaReplace;
  writer.FilesList = {folder.Write(cases[0].name, "second dump")};
  ASSERT_EQ(writer.Zip(), 1);
  check({0, 1, 2, 3, 4});
  auto raw = RawEntries(ReadAll(writer.ZipName));
  EXPECT_EQ(raw[0].crc, CrcOf("second dump"));
  EXPECT_EQ(raw[1].crc, CrcOf("dump of " + cases[1].name));
  // ...and deleted, letter case of the Latin letters aside.
  writer.FilesList = {cases[0].name, "БУХ „А“.DT", "DAILY.DT"};
  EXPECT_EQ(writer.DeleteEntries(), 2);
  check({1, 2, 3});
}

// A crashed writer's temporary files ("<archive>.tmp", "<archive>.N.tmp")
// are as large as the archive and would pile up until the folder has no
// room and no free name left: the next writer removes them. Names that
// merely look like them are someone else's.
TEST(ZipWriter, TheNextWriterRemovesTheTemporaryFilesOfOneThatDied) {
  for (bool deleting : {false, true}) {
    SCOPED_TRACE(deleting);
    TTestFolder folder;
    ZipWriter writer;
    writer.ZipName = folder.Path("a.zip");
    writer.FilesList = {folder.Write("one.txt", Text(3000))};
    ASSERT_EQ(writer.Zip(), 1);
    // As many as a writer ever tries: before, the next one found no name.
    for (int n = 0; n < 100; ++n) folder.Write(n == 0 ? "a.zip.tmp" : "a.zip." + std::to_string(n) + ".tmp", "left");
    const std::vector<std::string> others = {"a.zip.100.tmp", "a.zip.x.tmp", "a.zip.tmp.bak", "b.zip.tmp",
                                             "a.zip.01.tmp", "a.tmp"};
    for (const auto& name : others) folder.Write(name, "not ours");
    folder.MakeFolder("a.zip.2.tmp.d");

    if (deleting) {
      writer.FilesList = {"one.txt"};
      EXPECT_EQ(writer.DeleteEntries(), 1);
    } else {
      writer.FilesList = {folder.Write("two.txt", Text(4000))};
      EXPECT_EQ(writer.Zip(), 1);
    }
    std::vector<std::string> expected = others;
    expected.insert(expected.end(), {"a.zip", "a.zip.2.tmp.d", "one.txt"});
    if (!deleting) expected.push_back("two.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Names(), expected);
    for (const auto& name : others) EXPECT_EQ(ReadAll(folder.Path(name)), "not ours") << name;
  }
}

// A file that must be packed and is gone once the archive is free (removed
// while another writer held it): an error, and the archive stays as it was,
// instead of an archive without the file that passes for a success.
TEST(ZipWriter, WithoutSkippingAFileGoneWhileWaitingIsAnError) {
  TTestFolder folder;
  TFaultyFileSystem fileSystem;
  ZipWriter writer(fileSystem);
  writer.ZipName = folder.Path("1C8-240101.zip");
  writer.FilesList = {folder.Write("a.dt", Text(1000))};
  ASSERT_EQ(writer.Zip(), 1);
  const std::string before = ReadAll(writer.ZipName);

  for (const char* name : {"a.dt", "b.dt"}) {  // replacing an entry, adding one
    SCOPED_TRACE(name);
    std::string dump = folder.Write(name, Text(2000));
    fileSystem.removeOnLock = dump;
    writer.SkipUnreadable = false;
    writer.FilesList = {dump};
    try {
      writer.Zip();
      ADD_FAILURE() << "packed nothing, and said nothing";
    } catch (const EUnreadableFile& error) {
      EXPECT_EQ(error.Path(), dump);
    }
    EXPECT_EQ(ReadAll(writer.ZipName), before);
    std::vector<std::string> left = {"1C8-240101.zip"};
    if (std::string(name) != "a.dt") left.push_back("a.dt");
    EXPECT_EQ(folder.Names(), left);
    // Allowed to skip it, the writer keeps the archive's entries as they were.
    folder.Write(name, Text(2000));
    fileSystem.removeOnLock = dump;
    writer.SkipUnreadable = true;
    EXPECT_EQ(writer.Zip(), 0);
    EXPECT_EQ(NamesOf(ReadAll(writer.ZipName)), std::vector<std::string>{"a.dt"});
    folder.Write("a.dt", Text(1000));
  }
}

}  // namespace
}  // namespace ns
