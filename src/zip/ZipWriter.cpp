#include "zip/ZipWriter.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "zip/EntryName.h"
#include "zip/ZipBuilder.h"
#include "zip/ZipCheck.h"
#include "zip/ZipDirectory.h"

namespace ns {

namespace {

// The new archive, written under a temporary name in the archive's own
// folder (so the final move is a rename on one volume). Unless it is moved
// into place it is deleted when this object goes, on every path. Made only
// by a writer that holds the archive's lock.
class TPendingArchive {
 public:
  TPendingArchive(TFileSystem& fileSystem, const std::string& target) : fileSystem_(fileSystem), target_(target) {
    // Every writer of this archive makes its temporary file under the lock
    // and removes it before letting go, so a file of such a name that is
    // there now was left by a writer that died (a power loss, a killed
    // process). Left alone, these pile up as large as the archive each.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
      std::string leftover = TemporaryName(attempt);
      auto status = fileSystem_.Status(leftover);
      if (!status || status->IsFolder()) continue;
      try {
        fileSystem_.Remove(leftover);
      } catch (const Exception&) {
        // Held by some other program after all: it is not ours to take.
      }
    }
    // A name still taken is never overwritten: the next one is tried.
    for (int attempt = 0; attempt < kAttempts && !file_; ++attempt) {
      path_ = TemporaryName(attempt);
      file_ = fileSystem_.CreateNew(path_);
    }
    if (!file_) throw Exception("Cannot create a temporary file for \"" + target + "\"");
  }

  ~TPendingArchive() {
    if (committed_) return;
    file_.reset();
    try {
      fileSystem_.Remove(path_);
    } catch (const Exception&) {
      // Nothing better to do: the error that brought us here is the one to report.
    }
  }

  TPendingArchive(const TPendingArchive&) = delete;
  TPendingArchive& operator=(const TPendingArchive&) = delete;

  TFile& File() { return *file_; }

  // The names this writer gives its temporary files, and no others.
  std::string TemporaryName(int attempt) const {
    return target_ + (attempt == 0 ? std::string() : "." + std::to_string(attempt)) + ".tmp";
  }

  // The complete archive reaches the disk, then takes the target's place.
  void Commit() {
    file_->Flush();
    file_.reset();
    fileSystem_.Replace(path_, target_);
    committed_ = true;
  }

 private:
  static constexpr int kAttempts = 100;
  TFileSystem& fileSystem_;
  std::string target_;
  std::string path_;
  std::unique_ptr<TFile> file_;
  bool committed_ = false;
};

// How often a waiting writer looks whether the archive is free.
constexpr std::chrono::milliseconds kLockPoll{100};

// One file to add: its path, its entry name and what that is compared by.
struct TItem {
  std::string path;
  TStoredName name;
  std::string key;
  bool done = false;
};

TItem MakeItem(std::string path, TStoredName name) {
  std::string key = EntryNameKey(name);
  return {std::move(path), std::move(name), std::move(key)};
}

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == '/';
#endif
}

TStoredName EntryNameOf(const std::string& path, bool storePaths) {
  size_t start = 0;
  if (storePaths) {
    // The path less its drive and its leading separators.
    if (path.size() >= 2 && path[1] == ':') start = 2;
    while (start < path.size() && (path[start] == '\\' || path[start] == '/')) ++start;
  } else {
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1])) --i;
    start = i;
  }
  return StoreEntryName(path.substr(start));
}

uint32_t DosStamp(uint16_t date, uint16_t time) { return (static_cast<uint32_t>(date) << 16) | time; }

// The items of FilesList, a folder standing for the files below it when
// Recurse asks for that.
void CollectItems(TFileSystem& fileSystem, const std::string& path, bool recurse, bool storePaths,
                  std::vector<TItem>& items) {
  if (recurse) {
    auto status = fileSystem.Status(path);
    if (status && status->IsFolder()) {
      auto names = fileSystem.ListFolder(path);
      std::sort(names.begin(), names.end());
      for (const auto& name : names) CollectItems(fileSystem, path + kPathSeparator + name, true, storePaths, items);
      return;
    }
  }
  items.push_back(MakeItem(path, EntryNameOf(path, storePaths)));
}

}  // namespace

std::string ZipWriter::DisplayName(const TZipEntry& entry) { return DisplayEntryName(entry.name, entry.flags); }

std::unique_ptr<TLock> LockArchiveFile(TFileSystem& fileSystem, const std::string& zipName, unsigned waitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    if (auto lock = fileSystem.TryLock(ZipWriter::LockPath(zipName))) return lock;
    if (std::chrono::steady_clock::now() >= deadline) throw EArchiveBusy(zipName);
    std::this_thread::sleep_for(kLockPoll);
  }
}

std::unique_ptr<TLock> ZipWriter::LockArchive() { return LockArchiveFile(fileSystem_, ZipName, LockWaitMs); }

int ZipWriter::Zip() {
  written_.clear();
  std::vector<TItem> items;
  for (const auto& path : FilesList) CollectItems(fileSystem_, path, Recurse, StorePaths, items);
  // What can be packed: neither missing nor a folder.
  auto fileStatus = [&](const TItem& item) {
    auto status = fileSystem_.Status(item.path);
    if (status && status->IsFolder()) status.reset();
    return status;
  };
  if (!SkipUnreadable) {
    for (const TItem& item : items) {
      if (!fileStatus(item)) throw EUnreadableFile(item.path, "no such file");
      try {
        fileSystem_.OpenRead(item.path);
      } catch (const Exception& error) {
        throw EUnreadableFile(item.path, error.what());
      }
    }
  }

  auto lock = LockArchive();
  std::unique_ptr<TFile> old;
  TZipDirectory directory;
  if (fileSystem_.Status(ZipName)) {
    old = fileSystem_.OpenRead(ZipName);
    directory = ReadZipDirectory(*old);
  }

  // A file that was readable a moment ago and is not now (gone or taken by
  // another process while we waited for the archive) is passed over only
  // when that is allowed; otherwise nothing is written.
  auto present = [&](const TItem& item) {
    auto status = fileStatus(item);
    if (!status && !SkipUnreadable) throw EUnreadableFile(item.path, "it was gone once the archive was free");
    return status;
  };
  for (const TItem& item : items) present(item);

  TPendingArchive pending(fileSystem_, ZipName);
  TZipBuilder builder(fileSystem_, pending.File(), PackLevel);
  auto add = [&](const TItem& item, const TFileStatus& status) {
    if (builder.AddFile(item.path, status, item.name)) return true;
    if (!SkipUnreadable) throw EUnreadableFile(item.path, "it could not be opened");
    return false;
  };

  // Existing entries keep their order; a file of the same name takes its
  // entry's place when the action says so.
  for (const TZipEntry& entry : directory.entries) {
    const std::string key = EntryNameKey(entry);
    auto item = std::find_if(items.begin(), items.end(), [&](const TItem& i) { return !i.done && i.key == key; });
    bool replaced = false;
    if (item != items.end()) {
      item->done = true;
      auto status = present(*item);
      bool newer = status && DosStamp(status->dosDate, status->dosTime) > DosStamp(entry.dosDate, entry.dosTime);
      if (status && (newer || ZipAction == zaReplace)) replaced = add(*item, *status);
    }
    if (replaced) {
      written_.push_back(builder.Last());
    } else {
      builder.CopyEntry(*old, directory.offset, entry);
    }
  }

  if (ZipAction != zaFreshen) {
    for (TItem& item : items) {
      if (item.done || builder.Holds(item.key)) continue;
      auto status = present(item);
      if (status && add(item, *status)) written_.push_back(builder.Last());
    }
  }

  builder.Finish(directory.comment);
  old.reset();
  pending.Commit();
  // Read back before the lock goes: the next writer would otherwise move
  // its archive over this one while it is being read, and either the check
  // or that writer would fail.
  if (CheckWritten) {
    for (const TZipEntry& entry : written_) {
      if (auto fault = VerifyZipEntry(fileSystem_, ZipName, entry.name, entry.crc, entry.flags)) {
        throw EUnsoundEntry(ZipName, *fault);
      }
    }
  }
  return static_cast<int>(written_.size());
}

int ZipWriter::DeleteEntries() {
  std::vector<TItem> doomed;
  for (const auto& name : FilesList) doomed.push_back(MakeItem(std::string(), StoreEntryName(name)));

  auto lock = LockArchive();
  auto old = fileSystem_.OpenRead(ZipName);
  TZipDirectory directory = ReadZipDirectory(*old);
  TPendingArchive pending(fileSystem_, ZipName);
  TZipBuilder builder(fileSystem_, pending.File(), PackLevel);
  int removed = 0;
  for (const TZipEntry& entry : directory.entries) {
    const std::string key = EntryNameKey(entry);
    auto item = std::find_if(doomed.begin(), doomed.end(), [&](const TItem& i) { return !i.done && i.key == key; });
    if (item != doomed.end()) {
      item->done = true;
      ++removed;
    } else {
      builder.CopyEntry(*old, directory.offset, entry);
    }
  }
  builder.Finish(directory.comment);
  old.reset();
  pending.Commit();
  return removed;
}

void ZipWriter::ReadZip() {
  auto file = fileSystem_.OpenRead(ZipName);
  entries_ = ReadZipDirectory(*file).entries;
}

}  // namespace ns
