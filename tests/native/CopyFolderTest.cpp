#include "tasks/CopyFolder.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(CopyFolderFault, TheArchiveFolderItselfIsNoPlaceForTheCopy) {
  const struct {
    const char* dumpIB;
    const char* copyFolder;
    bool refused;
  } cases[] = {
      {"D:\\Архив", "", false},
      {"D:\\Архив", "E:\\Архив", false},
      {"D:\\Архив", "\\\\nas\\backup", false},
      {"D:\\Архив", "D:\\Архив\\Копия", false},
      {"D:\\Архив", "D:\\Архив", true},
      {"D:\\Архив", "d:\\архив\\", true},
      {"D:\\Архив\\", "D:/Архив", true},
      {"\\\\nas\\backup", "\\\\NAS\\Backup\\", true},
  };
  for (const auto& c : cases) {
    TTaskRecord record;
    record.DumpIB = c.dumpIB;
    record.CopyFolder = c.copyFolder;
    EXPECT_EQ(!CopyFolderFault(record).empty(), c.refused) << c.dumpIB << " | " << c.copyFolder;
  }
}

}  // namespace
}  // namespace ns
