#pragma once
// The stage of a task's run, told to the worker's host for the main window's
// status bar: "Бухгалтерия: выгрузка…", "… упаковка 37 %", "… проверка
// архива…", "… проверка загрузкой…", "… копирование…". Packing tells its
// share done as the dump is read; the share is told at most a few times a
// second, however fast the reading goes, so the window is never flooded.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "backup/WorkerHost.h"
#include "zip/FileSystem.h"

namespace ns {

class TRunStage {
 public:
  // Milliseconds of a steady clock.
  using Clock = std::function<uint64_t()>;

  TRunStage(IWorkerHost& host, std::string taskName, Clock clock = SteadyMilliseconds);
  // The stage is cleared when the run is over.
  ~TRunStage();
  TRunStage(const TRunStage&) = delete;
  TRunStage& operator=(const TRunStage&) = delete;

  void Dumping();
  // `done` of `total` bytes of the dump read for packing.
  void Packing(uint64_t done, uint64_t total);
  void CheckingArchive();
  void CheckingByRestore();
  void Copying();

  // The interval below which a changed share is not told.
  static constexpr uint64_t ShareIntervalMs = 250;
  static uint64_t SteadyMilliseconds();

 private:
  void Show(const std::string& stage);

  IWorkerHost& host_;
  std::string taskName_;
  Clock clock_;
  int shownShare_ = -1;
  uint64_t shownAt_ = 0;
  bool checking_ = false;
};

// The file system packing reads and writes through, telling `stage` how far
// the reading of `dumpFile` has come, and that the archive is being checked
// once the dump has been read whole and another file is read.
class TPackingProgress : public TFileSystem {
 public:
  TPackingProgress(TFileSystem& inner, TRunStage& stage, std::string dumpFile);

  std::optional<TFileStatus> Status(const std::string& path) override { return inner_.Status(path); }
  std::unique_ptr<TFile> OpenRead(const std::string& path) override;
  std::unique_ptr<TFile> CreateNew(const std::string& path) override { return inner_.CreateNew(path); }
  void Replace(const std::string& from, const std::string& to) override { inner_.Replace(from, to); }
  void Remove(const std::string& path) override { inner_.Remove(path); }
  std::unique_ptr<TLock> TryLock(const std::string& path) override { return inner_.TryLock(path); }
  std::vector<std::string> ListFolder(const std::string& path) override { return inner_.ListFolder(path); }

 private:
  TFileSystem& inner_;
  TRunStage& stage_;
  std::string dumpFile_;
  uint64_t dumpSize_ = 0;
  uint64_t dumpRead_ = 0;
};

}  // namespace ns
