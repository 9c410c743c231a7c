#include "backup/DumpCommand.h"

#include <gtest/gtest.h>

#include "backup/Messages.h"

namespace ns {
namespace {

TEST(DumpCommand, DesignerArguments) {
  const struct {
    const char* base;
    const char* user;
    const char* password;
    const char* arguments;
  } cases[] = {
      {"D:\\Base", "Admin", "", "/FD:\\Base /NAdmin /DumpIBC:\\Temp\\Daily.dt /OutC:\\Temp\\Daily.log"},
      {"srv1\\trade", "", "", "/Ssrv1\\trade /DumpIBC:\\Temp\\Daily.dt /OutC:\\Temp\\Daily.log"},
      {"\\\\fs\\b", "Иванов", "pw", "/F\\\\fs\\b /NИванов /Ppw /DumpIBC:\\Temp\\Daily.dt /OutC:\\Temp\\Daily.log"},
      {"srv", "", "pw", "/Ssrv /Ppw /DumpIBC:\\Temp\\Daily.dt /OutC:\\Temp\\Daily.log"},
      // The cluster's port belongs to the server's name.
      {"srv1:1641\\trade", "u", "", "/Ssrv1:1641\\trade /Nu /DumpIBC:\\Temp\\Daily.dt /OutC:\\Temp\\Daily.log"},
      // A password is passed as it is, even one that looks like a key: the
      // dump file must still reach the designer after "/DumpIB".
      {"srv", "u", "a/DumpIBb", "/Ssrv /Nu /Pa/DumpIBb /DumpIBC:\\Temp\\Daily.dt /OutC:\\Temp\\Daily.log"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BuildDesignerArguments(c.base, c.user, c.password, "C:\\Temp\\Daily.dt", "C:\\Temp\\Daily.log"),
              c.arguments);
  }
}

TEST(DumpCommand, DumpArgumentsNameTheTargetGiven) {
  EXPECT_EQ(BuildDumpArguments("D:\\Base", "", "", "E:\\Archive"), "/FD:\\Base /DumpIBE:\\Archive");
  EXPECT_EQ(BuildDumpArguments("", "", "", ""), "/S /DumpIB");
}

TEST(DumpCommand, CompleteCommandLineKeepsTheExecutableVerbatim) {
  EXPECT_EQ(DesignerCommandLine("\"C:\\Program Files\\1cv8\\bin\\1cv8.exe\" /regserver", "/FD:\\B /DumpIBx"),
            "\"C:\\Program Files\\1cv8\\bin\\1cv8.exe\" /regserver CONFIG /FD:\\B /DumpIBx");
}

TEST(Messages, WorkerFailureTextsByteForByte) {
  // The "С" of "1С8." is Cyrillic Es (0xD1), not a Latin C.
  EXPECT_EQ(MessagePlatformNotInstalled,
            "\xCD\xE5\x20\xF3\xF1\xF2\xE0\xED\xEE\xE2\xEB\xE5\xED\xE0\x20\xEF\xEB\xE0\xF2\xF4\xEE\xF0\xEC\xE0"
            "\x20\x31\xD1\x38\x2E");
  EXPECT_EQ(MessagePlatformNotInstalled.find("1C8"), std::string_view::npos);
}

TEST(DumpCommand, RestoreCheckCommandsQuoteEveryPath) {
  const std::string executable = "\"C:\\Program Files\\1cv8\\bin\\1cv8.exe\"";
  EXPECT_EQ(CreateInfobaseCommandLine(executable, "C:\\Temp\\Мой отдел.restore", "C:\\Temp\\Мой отдел.create.log"),
            executable +
                " CREATEINFOBASE File=\"C:\\Temp\\Мой отдел.restore\" /Out \"C:\\Temp\\Мой отдел.create.log\""
                " /DisableStartupDialogs");
  EXPECT_EQ(RestoreCommandLine(executable, "C:\\Temp\\Daily.restore", "C:\\Temp\\Daily.restore.dt",
                               "C:\\Temp\\Daily.restore.log"),
            executable +
                " DESIGNER /F\"C:\\Temp\\Daily.restore\" /RestoreIB \"C:\\Temp\\Daily.restore.dt\""
                " /Out \"C:\\Temp\\Daily.restore.log\" /DisableStartupDialogs");
}

}  // namespace
}  // namespace ns
