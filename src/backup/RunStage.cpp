#include "backup/RunStage.h"

#include <chrono>
#include <utility>

namespace ns {

TRunStage::TRunStage(IWorkerHost& host, std::string taskName, Clock clock)
    : host_(host), taskName_(std::move(taskName)), clock_(std::move(clock)) {}

TRunStage::~TRunStage() { host_.ShowStage({}); }

uint64_t TRunStage::SteadyMilliseconds() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

void TRunStage::Show(const std::string& stage) { host_.ShowStage(taskName_ + ": " + stage); }

void TRunStage::Dumping() { Show("выгрузка…"); }

void TRunStage::Packing(uint64_t done, uint64_t total) {
  const int share = total == 0 ? 100 : static_cast<int>(done * 100 / total);
  const uint64_t now = clock_();
  // The first share and the whole are told at once; others when they
  // changed and the last was told long enough ago.
  const bool early = shownShare_ >= 0 && share < 100 && now - shownAt_ < ShareIntervalMs;
  if (share == shownShare_ || early) return;
  shownShare_ = share;
  shownAt_ = now;
  checking_ = false;
  Show("упаковка " + std::to_string(share) + " %");
}

void TRunStage::CheckingArchive() {
  if (checking_) return;
  checking_ = true;
  Show("проверка архива…");
}

void TRunStage::CheckingByRestore() { Show("проверка загрузкой…"); }

void TRunStage::Copying() { Show("копирование…"); }

namespace {

// A file whose reading is counted.
class TCountedFile : public TFile {
 public:
  TCountedFile(std::unique_ptr<TFile> inner, std::function<void(size_t)> counted)
      : inner_(std::move(inner)), counted_(std::move(counted)) {}
  size_t Read(uint8_t* buffer, size_t size) override {
    size_t got = inner_->Read(buffer, size);
    counted_(got);
    return got;
  }
  void Write(const uint8_t* data, size_t size) override { inner_->Write(data, size); }
  void Seek(uint64_t position) override { inner_->Seek(position); }
  uint64_t Size() override { return inner_->Size(); }
  void Truncate() override { inner_->Truncate(); }
  void Flush() override { inner_->Flush(); }

 private:
  std::unique_ptr<TFile> inner_;
  std::function<void(size_t)> counted_;
};

}  // namespace

TPackingProgress::TPackingProgress(TFileSystem& inner, TRunStage& stage, std::string dumpFile)
    : inner_(inner), stage_(stage), dumpFile_(std::move(dumpFile)) {}

std::unique_ptr<TFile> TPackingProgress::OpenRead(const std::string& path) {
  std::unique_ptr<TFile> file = inner_.OpenRead(path);
  if (path == dumpFile_) {
    dumpSize_ = file->Size();
    dumpRead_ = 0;
    stage_.Packing(0, dumpSize_);
    return std::make_unique<TCountedFile>(std::move(file), [this](size_t got) {
      dumpRead_ += got;
      stage_.Packing(dumpRead_, dumpSize_);
    });
  }
  // The archive read once the dump is in it: the entry is being proven.
  if (dumpSize_ != 0 && dumpRead_ >= dumpSize_) stage_.CheckingArchive();
  return file;
}

}  // namespace ns
