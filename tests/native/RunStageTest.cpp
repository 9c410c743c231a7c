// The stage of a run as the host is told it: each stage once, the packing
// share at most every quarter of a second, the check of the archive once
// the dump has been read, and nothing left shown once the run is over.
#include "backup/RunStage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFolder.h"

namespace ns {
namespace {

using namespace ns::testing;

class TStageHost : public IWorkerHost {
 public:
  bool TestConnection(const TInfobaseLogon&, PlatformVersion) override { return true; }
  void EndSessions(const TInfobaseLogon&, PlatformVersion) override {}
  void TaskListChanged() override {}
  void RunEnded(bool) override {}
  void ShowStage(const std::string& stage) override { Shown.push_back(stage); }
  std::vector<std::string> Shown;
};

TEST(RunStage, EachStageIsToldAndTheShareNoMoreOftenThanItsInterval) {
  TStageHost host;
  uint64_t now = 1000;
  {
    TRunStage stage(host, "Бухгалтерия", [&] { return now; });
    stage.Dumping();
    stage.Packing(0, 1000);
    for (uint64_t done = 10; done <= 1000; done += 10) {
      now += 10;  // a hundred reads, a second in all
      stage.Packing(done, 1000);
    }
    stage.CheckingArchive();
    stage.CheckingArchive();
    stage.CheckingByRestore();
    stage.Copying();
  }
  const std::vector<std::string> expected = {
      "Бухгалтерия: выгрузка…",        "Бухгалтерия: упаковка 0 %",  "Бухгалтерия: упаковка 25 %",
      "Бухгалтерия: упаковка 50 %",    "Бухгалтерия: упаковка 75 %", "Бухгалтерия: упаковка 100 %",
      "Бухгалтерия: проверка архива…", "Бухгалтерия: проверка загрузкой…", "Бухгалтерия: копирование…",
      "",
  };
  EXPECT_EQ(host.Shown, expected);
}

TEST(RunStage, PackingThroughTheFileSystemTellsTheShareOfTheDumpReadThenTheCheck) {
  TTestFolder folder;
  const std::string dump = folder.Write("Daily.dt", Noise(1 << 20));
  const std::string other = folder.Write("other.zip", "zip");
  TStageHost host;
  uint64_t now = 0;
  TRunStage stage(host, "Daily", [&] { return now += 100; });
  TPackingProgress progress(SystemFileSystem(), stage, dump);

  auto archive = progress.OpenRead(other);  // an older archive, read before the dump: no check yet
  auto file = progress.OpenRead(dump);
  uint8_t buffer[1 << 18];
  while (file->Read(buffer, sizeof buffer) != 0) {
  }
  auto written = progress.OpenRead(other);
  // Four reads a tenth of a second apart: the quarters in between are too
  // soon after the share told before them, the whole never is.
  const std::vector<std::string> expected = {"Daily: упаковка 0 %", "Daily: упаковка 75 %", "Daily: упаковка 100 %",
                                             "Daily: проверка архива…"};
  EXPECT_EQ(host.Shown, expected);
}

}  // namespace
}  // namespace ns
