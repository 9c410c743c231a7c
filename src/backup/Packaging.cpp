#include "backup/Packaging.h"

#include <exception>

#include "backup/ArchiveNaming.h"
#include "backup/LocalClock.h"
#include "zip/ZipCheck.h"
#include "zip/ZipWriter.h"

namespace ns {

TPackOutcome PackDump(const std::string& dumpIB, const std::string& taskName, bool addName,
                      const std::string& dumpFile) {
  return PackDump(dumpIB, taskName, addName, dumpFile, LocalNow().Date);
}

TPackOutcome PackDump(const std::string& dumpIB, const std::string& taskName, bool addName,
                      const std::string& dumpFile, const TDate& today, TFileSystem& fileSystem) {
  ZipWriter writer(fileSystem);
  writer.ZipName = ArchiveFileName(dumpIB, today, taskName, addName);
  writer.FilesList.push_back(dumpFile);
  // The dump is the one file this is about: one that cannot be read must not
  // leave an archive without it that passes for a backup.
  writer.SkipUnreadable = false;
  try {
    // How many files were written does not matter: an entry kept because it
    // is as new as the dump (a clock set back) is still a packed dump. Only
    // an error of the writer is a failure.
    writer.Zip();
    // "Успех" means the backup reads back: the entry just written is read
    // from the disk and checked against the dump as it was read for
    // packing. Other tasks' entries are not read.
    for (const TZipEntry& entry : writer.Written()) {
      if (auto fault = VerifyZipEntry(fileSystem, writer.ZipName, entry.name, entry.crc)) {
        return {false, "Архив " + writer.ZipName + " не прошёл проверку после записи:\r\n" + *fault};
      }
    }
    return {true, {}};
  } catch (const EUnreadableFile& error) {
    return {false, "Не удалось прочитать файл выгрузки " + error.Path() + ":\r\n" + error.Reason()};
  } catch (const EArchiveBusy&) {
    return {false, "Архив " + writer.ZipName + " занят другим процессом, ожидание прервано через " +
                       std::to_string(writer.LockWaitMs / 60000) + " мин."};
  } catch (const std::exception& error) {
    return {false, "Архив " + writer.ZipName + ":\r\n" + error.what()};
  }
}

}  // namespace ns
