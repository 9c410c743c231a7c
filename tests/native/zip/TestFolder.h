#pragma once
// A fresh folder for one test, with small helpers to make and read files
// through the writer's own file-system interface (so that names are ANSI
// text on Windows as well), and a file system that injects faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "zip/FileSystem.h"

namespace ns::testing {

class TTestFolder {
 public:
  TTestFolder() {
    static std::atomic<int> serial{0};
    auto name = "zipwriter-test-" + std::to_string(std::random_device{}()) + "-" + std::to_string(serial++);
    path_ = (std::filesystem::temp_directory_path() / name).string();
    std::filesystem::create_directories(path_);
  }
  ~TTestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  std::string Path(const std::string& name) const { return path_ + kPathSeparator + name; }
  const std::string& Path() const { return path_; }

  std::string Write(const std::string& name, const std::string& content) const {
    std::string path = Path(name);
    try {
      SystemFileSystem().Remove(path);
    } catch (const Exception&) {
    }
    auto file = SystemFileSystem().CreateNew(path);
    file->Write(reinterpret_cast<const uint8_t*>(content.data()), content.size());
    return path;
  }

  std::string MakeFolder(const std::string& name) const {
    std::filesystem::create_directories(std::filesystem::path(path_) / name);
    return Path(name);
  }

  std::vector<std::string> Names() const {
    auto names = SystemFileSystem().ListFolder(path_);
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

inline std::string ReadAll(const std::string& path) {
  auto file = SystemFileSystem().OpenRead(path);
  std::string content(static_cast<size_t>(file->Size()), '\0');
  file->Read(reinterpret_cast<uint8_t*>(content.data()), content.size());
  return content;
}

// Text that compresses well; random bytes that do not.
inline std::string Text(size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) text += "Line " + std::to_string(line) + " of the log.\r\n";
  text.resize(size);
  return text;
}
inline std::string Noise(size_t size, unsigned seed = 1) {
  std::mt19937 random(seed);
  std::string noise(size, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  return noise;
}

struct EInjected : Exception {
  EInjected() : Exception("injected fault") {}
};

// The system's file system with faults on request: a file that cannot be
// opened, a read error after some bytes of one file, a full disk after some
// bytes written, a failing final move; files that look newer than they are;
// and one file damaged as it is read back, while the disk holds it intact.
class TFaultyFileSystem final : public TFileSystem {
 public:
  std::string failOpenOf;      // the path that cannot be opened for reading
  std::string failReadOf;      // the path whose reading fails...
  uint64_t failReadAfter = 0;  // ...after this many bytes
  std::string damaged;                  // the path whose reading shows...
  std::map<uint64_t, uint8_t> xorAt;    // ...these bytes XORed with these values,
  uint64_t missingFrom = UINT64_MAX;    // ...nothing from here...
  uint64_t missingTo = 0;               // ...to here (a read that reaches the gap stops short),
  uint64_t cutAt = UINT64_MAX;          // ...and its end here
  int64_t writeBudget = -1;    // bytes that can be written before the disk is full; -1 unlimited
  bool failReplace = false;
  std::map<std::string, uint16_t> dosDates;  // last-write dates that replace the real ones
  std::string removeOnLock;  // a file removed once the archive's lock is taken

  std::optional<TFileStatus> Status(const std::string& path) override {
    auto status = SystemFileSystem().Status(path);
    auto date = dosDates.find(path);
    if (status && date != dosDates.end()) status->dosDate = date->second;
    return status;
  }
  std::unique_ptr<TFile> OpenRead(const std::string& path) override {
    if (path == failOpenOf) throw EInjected();
    auto file = SystemFileSystem().OpenRead(path);
    if (path == damaged) return std::make_unique<TDamagedFile>(std::move(file), *this);
    if (path != failReadOf) return file;
    return std::make_unique<TFaultyFile>(std::move(file), *this, failReadAfter);
  }
  std::unique_ptr<TFile> CreateNew(const std::string& path) override {
    auto file = SystemFileSystem().CreateNew(path);
    if (!file) return file;
    return std::make_unique<TFaultyFile>(std::move(file), *this, UINT64_MAX);
  }
  void Replace(const std::string& from, const std::string& to) override {
    if (failReplace) throw EInjected();
    SystemFileSystem().Replace(from, to);
  }
  void Remove(const std::string& path) override { SystemFileSystem().Remove(path); }
  std::unique_ptr<TLock> TryLock(const std::string& path) override {
    auto lock = SystemFileSystem().TryLock(path);
    // Another program removes the file while the archive is waited for.
    if (lock && !removeOnLock.empty()) {
      SystemFileSystem().Remove(removeOnLock);
      removeOnLock.clear();
    }
    return lock;
  }
  std::vector<std::string> ListFolder(const std::string& path) override {
    return SystemFileSystem().ListFolder(path);
  }

 private:
  class TFaultyFile final : public TFile {
   public:
    TFaultyFile(std::unique_ptr<TFile> file, TFaultyFileSystem& owner, uint64_t readable)
        : file_(std::move(file)), owner_(owner), readable_(readable) {}
    size_t Read(uint8_t* buffer, size_t size) override {
      if (size > readable_) throw EInjected();
      readable_ -= size;
      return file_->Read(buffer, size);
    }
    void Write(const uint8_t* data, size_t size) override {
      if (owner_.writeBudget >= 0) {
        if (static_cast<int64_t>(size) > owner_.writeBudget) throw EInjected();
        owner_.writeBudget -= static_cast<int64_t>(size);
      }
      file_->Write(data, size);
    }
    void Seek(uint64_t position) override { file_->Seek(position); }
    uint64_t Size() override { return file_->Size(); }
    void Truncate() override { file_->Truncate(); }
    void Flush() override { file_->Flush(); }

   private:
    std::unique_ptr<TFile> file_;
    TFaultyFileSystem& owner_;
    uint64_t readable_;
  };

  class TDamagedFile final : public TFile {
   public:
    TDamagedFile(std::unique_ptr<TFile> file, TFaultyFileSystem& owner) : file_(std::move(file)), owner_(owner) {}
    size_t Read(uint8_t* buffer, size_t size) override {
      uint64_t end = std::min(position_ + size, owner_.cutAt);
      if (position_ < owner_.missingTo && end > owner_.missingFrom) end = std::max(position_, owner_.missingFrom);
      const size_t got = end > position_ ? file_->Read(buffer, static_cast<size_t>(end - position_)) : 0;
      for (auto [at, mask] : owner_.xorAt)
        if (at >= position_ && at < position_ + got) buffer[at - position_] ^= mask;
      position_ += got;
      file_->Seek(position_);
      return got;
    }
    void Write(const uint8_t*, size_t) override { throw EInjected(); }
    void Seek(uint64_t position) override {
      position_ = position;
      file_->Seek(position);
    }
    uint64_t Size() override { return std::min(file_->Size(), owner_.cutAt); }
    void Truncate() override { throw EInjected(); }
    void Flush() override {}

   private:
    std::unique_ptr<TFile> file_;
    TFaultyFileSystem& owner_;
    uint64_t position_ = 0;
  };
};

}  // namespace ns::testing
