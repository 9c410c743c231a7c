// Platform discovery against COM registrations the test writes itself, and
// (InstalledPlatforms) against the stand-in platform registered in the prefix
// by scripts/wine-prefix; NS_EXPECT_PLATFORMS names the versions it holds.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/PlatformDiscovery.h"

namespace ns {
namespace {

const char Class82[] = "{0B4D8F52-0000-4C2A-9D30-000000000082}";
const char Class83[] = "{0B4D8F52-0000-4C2A-9D30-000000000083}";

void PutValue(const std::string& path, const std::string& bytes, DWORD type = REG_SZ) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS)
      << path;
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

// A registration as the platform's installer makes it: the ProgID names the
// class, the class names its local server.
void Register(const std::string& progId, const std::string& classId, const std::string& server) {
  PutValue(progId + "\\CLSID", classId + '\0');
  PutValue("CLSID\\" + classId + "\\LocalServer32", server);
}

// Runs in a bare prefix only (the test's registration filters it): these
// cases overwrite and remove the registrations a stand-in would have made.
class SelfRegistered : public testing::Test {
 protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    for (const char* key : {"V82.Application", "V83.Application"}) RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    for (const char* id : {Class82, Class83}) RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + id).c_str());
  }
};

const std::string Server82 = std::string("\"C:\\Program Files\\1cv82\\8.2.19.130\\bin\\1cv8.exe\" /Automation") + '\0';
const std::string Server83 = std::string("\"C:\\Program Files\\1cv8\\8.3.22.1709\\bin\\1cv8.exe\" -Automation") + '\0';

TEST_F(SelfRegistered, EachVersionIsFoundOnItsOwn) {
  struct Case {
    bool with82, with83;
  };
  for (Case c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
    Clean();
    if (c.with82) Register("V82.Application", Class82, Server82);
    if (c.with83) Register("V83.Application", Class83, Server83);
    const std::string what = std::string("8.2 ") + (c.with82 ? "on" : "off") + ", 8.3 " + (c.with83 ? "on" : "off");

    TInstalledPlatforms info;
    info.Executable82 = "stale";
    LocatePlatforms(info);
    EXPECT_EQ(info.Found82, c.with82) << what;
    EXPECT_EQ(info.Found83, c.with83) << what;
    // The command is taken verbatim: quotes and the switch stay.
    EXPECT_EQ(info.Executable82, c.with82 ? Server82.substr(0, Server82.size() - 1) : "") << what;
    EXPECT_EQ(info.Executable83, c.with83 ? Server83.substr(0, Server83.size() - 1) : "") << what;
    EXPECT_EQ(info.Found(PlatformVersion83), c.with83) << what;
    EXPECT_EQ(info.Executable(PlatformVersion82), info.Executable82) << what;
  }
}

TEST_F(SelfRegistered, ServerCommandWithoutTerminatingNulIsReadWhole) {
  Register("V83.Application", Class83, "C:\\1cv8\\bin\\1cv8.exe");
  std::string executable;
  ASSERT_TRUE(LocatePlatform(PlatformVersion83, executable));
  EXPECT_EQ(executable, "C:\\1cv8\\bin\\1cv8.exe");
}

TEST_F(SelfRegistered, IncompleteRegistrationsAndUnknownVersionsFindNothing) {
  std::string executable = "untouched";
  // A ProgID that names a class without any registration of its own.
  PutValue("V82.Application\\CLSID", std::string(Class82) + '\0');
  EXPECT_FALSE(LocatePlatform(PlatformVersion82, executable));
  // The class is registered, but not as a local server.
  PutValue(std::string("CLSID\\") + Class82 + "\\InprocServer32", "C:\\1cv8\\comcntr.dll" + std::string(1, '\0'));
  EXPECT_FALSE(LocatePlatform(PlatformVersion82, executable));
  // The class registration exists but the ProgID does not say which it is.
  Register("V83.Application", Class83, Server83);
  PutValue("V83.Application\\CLSID", "");
  EXPECT_FALSE(LocatePlatform(PlatformVersion83, executable));
  EXPECT_EQ(executable, "untouched");

  Register("V82.Application", Class82, Server82);
  Register("V83.Application", Class83, Server83);
  for (PlatformVersion version : {0, 3, -1, 82}) {
    EXPECT_FALSE(LocatePlatform(version, executable)) << version;
    TInstalledPlatforms info;
    EXPECT_FALSE(info.Found(version));
    EXPECT_EQ(info.Executable(version), "");
  }
  EXPECT_EQ(executable, "untouched");
}

// The first word of a command line, without its quotes.
std::string ProgramOf(const std::string& command) {
  if (!command.empty() && command[0] == '"') return command.substr(1, command.find('"', 1) - 1);
  return command.substr(0, command.find(' '));
}

// Runs in the prefixes with the stand-in, which say what they hold.
TEST(InstalledPlatforms, MatchWhatThePrefixHolds) {
  const char* expected = std::getenv("NS_EXPECT_PLATFORMS");
  ASSERT_NE(expected, nullptr) << "NS_EXPECT_PLATFORMS names the versions the prefix holds";
  const std::string versions = expected;
  // Where the installer put the platform of this program's own bitness.
  const char* programFiles = std::getenv("NS_EXPECT_PROGRAM_FILES");
  LocateInstalledPlatforms();
  EXPECT_EQ(InstalledPlatforms.Found82, versions.find("8.2") != std::string::npos);
  EXPECT_EQ(InstalledPlatforms.Found83, versions.find("8.3") != std::string::npos);
  for (PlatformVersion version : {PlatformVersion82, PlatformVersion83}) {
    const std::string& command = InstalledPlatforms.Executable(version);
    if (!InstalledPlatforms.Found(version)) {
      EXPECT_EQ(command, "");
      continue;
    }
    // The registration's command as stored: a quoted path and a switch.
    ASSERT_EQ(command.front(), '"') << command;
    EXPECT_EQ(command.substr(command.rfind('"')), "\" /Automation") << command;
    const std::string program = ProgramOf(command);
    const std::string folder = version == PlatformVersion82 ? "\\8.2\\bin\\" : "\\8.3\\bin\\";
    EXPECT_NE(program.find(folder), std::string::npos) << command;
    if (programFiles) {
      EXPECT_EQ(program.rfind(programFiles, 0), 0u) << command;
    }
    EXPECT_NE(GetFileAttributesA(program.c_str()), INVALID_FILE_ATTRIBUTES) << command;
  }
}

}  // namespace
}  // namespace ns
