// The restore check as the worker runs it, against the stand-in platform:
// a sound dump is loaded, and each way it can fail — the archive's entry
// damaged after it was written, a dump the designer refuses, a designer that
// hangs or leaves no log, no room in the temporary folder — says so in the
// lines for the task's log. No scratch file outlives a check.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "StandinTestSupport.h"
#include "backup/Messages.h"
#include "backup/Packaging.h"
#include "backup/RestoreCheck.h"
#include "win/TempFolder.h"

namespace ns {
namespace {

using standin::test::DesignerCommand;
using standin::test::kStatePath;
using standin::test::MakeFileInfobase;
using standin::test::PathExists;
using standin::test::ReadFileBytes;
using standin::test::RunHidden;
using standin::test::ScratchFolder;
using standin::test::WriteFileBytes;

// Blanks and Cyrillic letters in the scratch names: every path is quoted.
constexpr char ScratchName[] = "Проверка Daily";
constexpr uint64_t Plenty = uint64_t(1) << 40;

std::string Line(std::string_view text) { return std::string(text) + "\r\n"; }

class RestoreCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ScratchFolder("Restore Check");
    WriteFileBytes(kStatePath, "");
  }
  void TearDown() override { WriteFileBytes(kStatePath, ""); }

  // A dump of an infobase with this description, written by the designer
  // and packed as the worker packs it; the request that checks it.
  TRestoreCheckRequest Packed(const std::string& description) {
    std::string source = folder_ + "\\Source Base";
    MakeFileInfobase(source, 1000, "[Infobase]\r\nSize=300000\r\n" + description);
    std::string dump = folder_ + "\\Daily.dt";
    DeleteFileA(dump.c_str());
    std::string log = folder_ + "\\Dump.log";
    EXPECT_EQ(RunHidden(DesignerCommand("V83.Application") + " CONFIG /F" + source + " /DumpIB" + dump + " /Out" + log)
                  .ExitCode,
              0u)
        << ReadFileBytes(log);
    TPackOutcome packed = PackDump(folder_, "Daily", false, dump, {2026, 12, 11});
    EXPECT_TRUE(packed.Packed) << packed.Failure;
    TRestoreCheckRequest request;
    request.Executable = DesignerCommand("V83.Application");
    request.Archive = packed.Archive;
    request.EntryName = "Daily.dt";
    request.ScratchName = ScratchName;
    request.TimeLimitMs = 60000;
    request.FreeBytes = Plenty;
    return request;
  }

  static void ExpectNoScratchLeft() {
    std::string folder = TempFilePath(std::string(ScratchName) + ".restore");
    for (const std::string& path : {folder, folder + ".dt", folder + ".log", folder + ".create.log"}) {
      EXPECT_FALSE(PathExists(path)) << path << " was left behind";
    }
  }

  std::string folder_;
};

// Inverts one byte in the middle of the archive's only entry's data.
void DamageArchive(const std::string& archive) {
  std::string bytes = ReadFileBytes(archive);
  bytes[bytes.size() / 2] ^= 0x5A;
  WriteFileBytes(archive, bytes);
}

TEST_F(RestoreCheckTest, OutcomeOfEachWayTheCheckCanGo) {
  const struct {
    const char* what;
    const char* description;  // of the infobase that is dumped
    const char* knobs;        // the stand-in's load knobs
    std::function<void(TRestoreCheckRequest&)> change;
    TRestoreVerdict verdict;
    std::string linesBegin;
    const char* linesHold;  // somewhere in the lines after their beginning
  } cases[] = {
      {"a sound dump", "", "", nullptr, TRestoreVerdict::Loaded, Line(MessageRestoreLoaded), ""},
      {"a sound dump over what a check cut off left behind", "", "",
       [](TRestoreCheckRequest&) {
         std::string folder = TempFilePath(std::string(ScratchName) + ".restore");
         CreateDirectoryA(folder.c_str(), nullptr);
         WriteFileBytes(folder + "\\1Cv8.1CD", "stale");
         WriteFileBytes(folder + ".dt", "stale");
       },
       TRestoreVerdict::Loaded, Line(MessageRestoreLoaded), ""},
      {"the archive's entry damaged after it was read back", "", "[Restore]\r\nHang=1\r\n",
       [](TRestoreCheckRequest& request) { DamageArchive(request.Archive); }, TRestoreVerdict::Failed,
       Line(MessageRestoreFailed) + Line(MessageRestoreUnreadable), "the data"},
      {"a dump the designer refuses", "DamagedDump=1\r\n", "", nullptr, TRestoreVerdict::Failed,
       Line(MessageRestoreFailed), "Файл выгрузки поврежден"},
      {"a designer that hangs", "", "[Restore]\r\nHang=1\r\n",
       [](TRestoreCheckRequest& request) { request.TimeLimitMs = 3000; }, TRestoreVerdict::Failed,
       Line(MessageRestoreFailed) + std::string(MessageRestoreStopped), ""},
      {"a load that fails without a log", "", "[Restore]\r\nFailExit=3\r\nNoLog=1\r\n", nullptr,
       TRestoreVerdict::Failed, Line(MessageRestoreFailed) + Line(MessageRestoreLeftNoLog), ""},
      {"no room for the dump and its infobase", "", "",
       [](TRestoreCheckRequest& request) { request.FreeBytes = 500000; }, TRestoreVerdict::Skipped,
       std::string(MessageRestoreNoRoom), "(нужно 1 МБ, свободно 0 МБ)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TRestoreCheckRequest request = Packed(c.description);
    WriteFileBytes(kStatePath, c.knobs);
    if (c.change) c.change(request);
    const TRestoreCheckOutcome outcome = CheckByRestore(request);
    EXPECT_EQ(outcome.Verdict, c.verdict) << outcome.Lines;
    EXPECT_EQ(outcome.Lines.substr(0, c.linesBegin.size()), c.linesBegin) << outcome.Lines;
    EXPECT_NE(outcome.Lines.find(c.linesHold, c.linesBegin.size()), std::string::npos) << outcome.Lines;
    EXPECT_EQ(outcome.Lines.substr(outcome.Lines.size() - 2), "\r\n");
    ExpectNoScratchLeft();
    // The archive the check read stays as it was written.
    EXPECT_TRUE(PathExists(request.Archive));
    WriteFileBytes(kStatePath, "");
  }
}

}  // namespace
}  // namespace ns
