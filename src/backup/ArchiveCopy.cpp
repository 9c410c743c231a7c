#include "backup/ArchiveCopy.h"

#include <exception>
#include <memory>
#include <set>
#include <vector>

#include "zip/EntryName.h"
#include "zip/ZipCheck.h"

namespace ns {

namespace {

std::string InFolder(std::string folder, const std::string& name) {
  if (folder.empty() || (folder.back() != kPathSeparator && folder.back() != '/')) folder += kPathSeparator;
  return folder + name;
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The names the archive holds, as the writer compares them.
std::set<std::string> EntryKeys(TZipChecker& archive) {
  std::set<std::string> keys;
  for (const TZipEntry& entry : archive.Entries()) keys.insert(EntryNameKey(entry));
  return keys;
}

// What an archive already in the copy's place holds that the new copy does
// not; empty when it may be replaced (an archive that cannot be read is a
// damaged copy of an earlier run, which the new copy mends).
std::vector<std::string> EntriesOnlyIn(TFileSystem& fileSystem, const std::string& existing,
                                       const std::set<std::string>& copied) {
  std::vector<std::string> only;
  try {
    TZipChecker old(fileSystem, existing);
    for (const TZipEntry& entry : old.Entries()) {
      if (!copied.count(EntryNameKey(entry))) only.push_back(DisplayEntryName(entry.name, entry.flags));
    }
  } catch (const std::exception&) {
  }
  return only;
}

void CopyFile(TFileSystem& fileSystem, const std::string& from, const std::string& to) {
  std::unique_ptr<TFile> source = fileSystem.OpenRead(from);
  std::unique_ptr<TFile> target = fileSystem.CreateNew(to);
  if (!target) throw EZipError("the file " + to + " already exists");
  std::vector<uint8_t> buffer(1 << 20);
  while (size_t got = source->Read(buffer.data(), buffer.size())) target->Write(buffer.data(), got);
  // On the disk before it takes the archive's place: a power loss must not
  // leave a copy that was never written.
  target->Flush();
}

}  // namespace

std::optional<std::string> CopyArchive(TFileSystem& fileSystem, const std::string& archive,
                                       const std::string& copyFolder, const std::string& entryName,
                                       unsigned lockWaitMs) {
  const std::string target = InFolder(copyFolder, FileNameOf(archive));
  const std::string temporary = target + ".copy.tmp";
  std::optional<std::string> failure;
  bool temporaryMade = false;
  try {
    auto folder = fileSystem.Status(copyFolder);
    if (!folder || !folder->IsFolder()) return "каталог " + copyFolder + " не найден";
    // Whoever writes the archive of that name holds its lock, the program's
    // own writer packing there included.
    std::unique_ptr<TLock> lock = LockArchiveFile(fileSystem, target, lockWaitMs);
    // A copy cut off by a power loss left its temporary file.
    if (fileSystem.Status(temporary)) fileSystem.Remove(temporary);
    temporaryMade = true;
    CopyFile(fileSystem, archive, temporary);
    std::set<std::string> copied;
    {
      TZipChecker copy(fileSystem, temporary);
      const TZipEntry* entry = copy.Find(entryName);
      if (!entry) throw EZipError("the copy holds no entry named \"" + entryName + "\"");
      if (std::optional<std::string> fault = copy.Check(*entry)) throw EZipError("the copy is unsound: " + *fault);
      copied = EntryKeys(copy);
    }
    if (fileSystem.Status(target)) {
      std::vector<std::string> only = EntriesOnlyIn(fileSystem, target, copied);
      if (!only.empty()) {
        std::string names;
        for (const std::string& name : only) names += (names.empty() ? "" : ", ") + name;
        failure = "архив " + target + " уже есть и хранит выгрузки, которых нет в копируемом (" + names +
                  "); он оставлен как есть";
      }
    }
    if (!failure) {
      fileSystem.Replace(temporary, target);
      temporaryMade = false;
    }
  } catch (const std::exception& error) {
    failure = error.what();
  }
  if (temporaryMade) {
    try {
      fileSystem.Remove(temporary);
    } catch (const std::exception&) {
      // The failure is what the log must tell.
    }
  }
  return failure;
}

}  // namespace ns
