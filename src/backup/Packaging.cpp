#include "backup/Packaging.h"

#include <exception>

#include "backup/ArchiveNaming.h"
#include "backup/LocalClock.h"
#include "zip/ZipWriter.h"

namespace ns {

bool PackDump(const std::string& dumpIB, const std::string& taskName, bool addName, const std::string& dumpFile) {
  return PackDump(dumpIB, taskName, addName, dumpFile, LocalNow().Date);
}

bool PackDump(const std::string& dumpIB, const std::string& taskName, bool addName, const std::string& dumpFile,
              const TDate& today) {
  try {
    ZipWriter writer;
    writer.ZipName = ArchiveFileName(dumpIB, today, taskName, addName);
    writer.FilesList.push_back(dumpFile);
    // How many files were written does not matter: an entry kept because it
    // is as new as the dump (a clock set back) is still a packed dump. Only
    // an error of the writer is a failure.
    writer.Zip();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace ns
