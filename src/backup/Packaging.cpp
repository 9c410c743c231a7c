#include "backup/Packaging.h"

#include <exception>
#include <string>

#include "backup/ArchiveNaming.h"
#include "backup/LocalClock.h"
#include "zip/ZipWriter.h"

namespace ns {

namespace {

// The wait as the log tells it: whole minutes, or seconds where it is not.
std::string WaitText(unsigned ms) {
  if (ms % 60000 == 0) return std::to_string(ms / 60000) + " мин.";
  return std::to_string((ms + 999) / 1000) + " с";
}

}  // namespace

TPackOutcome PackDump(const std::string& dumpIB, const std::string& taskName, bool addName,
                      const std::string& dumpFile) {
  return PackDump(dumpIB, taskName, addName, dumpFile, LocalNow().Date);
}

TPackOutcome PackDump(const std::string& dumpIB, const std::string& taskName, bool addName,
                      const std::string& dumpFile, const TDate& today, TFileSystem& fileSystem,
                      unsigned lockWaitMs) {
  ZipWriter writer(fileSystem);
  writer.ZipName = ArchiveFileName(dumpIB, today, taskName, addName);
  writer.LockWaitMs = lockWaitMs;
  writer.FilesList.push_back(dumpFile);
  // This dump, just made, is the backup: it replaces the task's entry
  // whatever the date stamps say (a clock set back, the end of daylight
  // saving time, a second run the same day).
  writer.ZipAction = zaReplace;
  // The dump is the one file this is about: one that cannot be read, or is
  // gone once the archive is free, must not leave an archive without it
  // that passes for a backup.
  writer.SkipUnreadable = false;
  // "Успех" means the backup reads back: the entry just written is read
  // from the disk, before the archive is let go, and checked against the
  // dump as it was read for packing. Other tasks' entries are not read.
  writer.CheckWritten = true;
  try {
    if (writer.Zip() != 1) return {false, "Архив " + writer.ZipName + ": выгрузка " + dumpFile + " в него не записана"};
    return {true, {}, writer.ZipName};
  } catch (const EUnsoundEntry& error) {
    return {false, "Архив " + writer.ZipName + " не прошёл проверку после записи:\r\n" + error.Fault()};
  } catch (const EUnreadableFile& error) {
    return {false, "Не удалось прочитать файл выгрузки " + error.Path() + ":\r\n" + error.Reason()};
  } catch (const EArchiveBusy&) {
    return {false, "Архив " + writer.ZipName + " занят другим процессом, ожидание прервано через " +
                       WaitText(lockWaitMs)};
  } catch (const std::exception& error) {
    return {false, "Архив " + writer.ZipName + ":\r\n" + error.what()};
  }
}

}  // namespace ns
