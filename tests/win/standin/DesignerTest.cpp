// The stand-in designer driven as the program drives it: its command found
// through the registry, run hidden with the batch command line, judged by
// its exit code, its dump and its Windows-1251 log.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "StandinTestSupport.h"

namespace ns::standin::test {
namespace {

const std::string kStarted = "Начало выгрузки информационной базы";
const std::string kDone = "Выгрузка информационной базы успешно завершена";
const std::string kNotDone = "Выгрузка информационной базы не выполнена";

class DesignerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ScratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    dump_ = folder_ + "\\Daily.dt";
    log_ = folder_ + "\\Daily.log";
  }

  // The program's command line: the registered command, " CONFIG ", the
  // keys with unquoted values.
  TRunOutcome Dump(const std::string& infobaseKey, const std::string& credentials, DWORD timeout = 120000) {
    std::string command = DesignerCommand("V83.Application") + " CONFIG " + infobaseKey + credentials +
                          " /DumpIB" + dump_ + " /Out" + log_;
    return RunHidden(command, timeout);
  }

  std::string FileBase(const std::string& description, size_t dataSize = 200000) {
    return MakeFileInfobase(folder_ + "\\Base One", dataSize, description);
  }

  std::string folder_, dump_, log_;
};

TEST(DesignerRegistration, LocalServerIsAQuotedPathWithBlanksAndATrailingSwitch) {
  for (const char* progId : {"V82.Application", "V83.Application"}) {
    std::string command = DesignerCommand(progId);
    ASSERT_EQ(command.front(), '"') << command;
    size_t closing = command.find('"', 1);
    ASSERT_NE(closing, std::string::npos) << command;
    std::string path = command.substr(1, closing - 1);
    EXPECT_NE(path.find(' '), std::string::npos) << path;
    EXPECT_TRUE(PathExists(path)) << path;
    EXPECT_EQ(command.substr(closing + 1, 2), " /") << "a switch follows the path: " << command;
  }
}

TEST(DesignerRegistration, UnregserverRemovesWhatRegserverWrites) {
  std::string command = DesignerCommand("V82.Application");
  std::string executable = command.substr(0, command.find('"', 1) + 1);
  ASSERT_EQ(RunHidden(executable + " /unregserver").ExitCode, 0u);
  EXPECT_THROW(DesignerCommand("V82.Application"), std::runtime_error);
  EXPECT_EQ(DesignerCommand("V83.Application").substr(0, 1), "\"") << "the other version stays";
  ASSERT_EQ(RunHidden(executable + " /regserver").ExitCode, 0u);
  EXPECT_EQ(DesignerCommand("V82.Application"), command);
}

TEST_F(DesignerTest, DumpsAFileInfobaseWithBlanksInEveryValue) {
  // A " /" that starts no key of the designer belongs to the value.
  FileBase("[Infobase]\r\nUser=Admin:\r\nUser=Бухгалтер:пароль /с пробелом\r\n", 300000);
  TRunOutcome outcome = Dump("/F" + folder_ + "\\Base One", " /NБухгалтер /Pпароль /с пробелом");
  ASSERT_TRUE(outcome.Finished);
  EXPECT_EQ(outcome.ExitCode, 0u);
  EXPECT_EQ(ReadFileBytes(log_), kStarted + "\r\n" + kDone + "\r\n");
  ASSERT_EQ(FileSize(dump_), 300000u) << "the dump follows the data file's size";

  std::string dump = ReadFileBytes(dump_);
  EXPECT_EQ(dump.substr(0, 4), "SDTH");
  EXPECT_NE(dump.find("Справочник."), std::string::npos) << "structured records among the data";
  // Mostly already-compressed content: no byte value stands out.
  std::array<size_t, 256> counts{};
  for (unsigned char c : dump) ++counts[c];
  EXPECT_LT(*std::max_element(counts.begin(), counts.end()), dump.size() / 50);

  ASSERT_EQ(Dump("/F" + folder_ + "\\Base One", " /NAdmin").ExitCode, 0u) << "an empty password is no /P key";
  EXPECT_EQ(ReadFileBytes(dump_), dump) << "dumps of one infobase are identical";
}

TEST_F(DesignerTest, DumpsAServerInfobaseOfTheConfiguredSize) {
  WriteFileBytes(kStatePath,
                 "[Cluster]\r\nServer=srv1\r\n[Process]\r\nHost=srv1\r\nPort=1560\r\n"
                 "[Infobase]\r\nName=Торговля\r\nSize=3M\r\nUser=Admin:secret\r\n");
  TRunOutcome outcome = Dump("/Ssrv1\\торговля", " /NAdmin /Psecret");
  ASSERT_TRUE(outcome.Finished);
  EXPECT_EQ(outcome.ExitCode, 0u) << ReadFileBytes(log_);
  EXPECT_EQ(FileSize(dump_), 3u << 20);
}

// Every refusal: a log that says why, a non-zero exit code, no dump.
TEST_F(DesignerTest, RefusesWithALogAndNoDump) {
  WriteFileBytes(kStatePath,
                 "[Cluster]\r\nServer=srv1\r\n[Infobase]\r\nName=trade\r\nUser=Admin:secret\r\n"
                 "Session=1,1CV8C\r\nSession=2,COMConsole\r\n"
                 "[Infobase]\r\nName=salary\r\nSession=7,COMConsole\r\n");
  FileBase("[Infobase]\r\nUser=Admin:secret\r\n");
  struct TCase {
    std::string Infobase, Credentials, Reason;
  } cases[] = {
      {"/F" + folder_ + "\\Base One", " /NAdmin /Pwrong", "Идентификация пользователя не выполнена"},
      {"/F" + folder_ + "\\Base One", " /NNobody /Psecret", "Идентификация пользователя не выполнена"},
      {"/F" + folder_ + "\\Base One", "", "Идентификация пользователя не выполнена"},
      {"/F" + folder_ + "\\No Such Base", " /NAdmin /Psecret", "Файл базы данных не обнаружен"},
      {"/Ssrv1\\unknown", " /NAdmin /Psecret", "не зарегистрирована"},
      {"/Sother\\trade", " /NAdmin /Psecret", "Сервер 1С:Предприятия не обнаружен"},
      {"/Ssrv1\\trade", " /NAdmin /Psecret", "монопольного режима"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Infobase + c.Credentials);
    DeleteFileA(log_.c_str());
    TRunOutcome outcome = Dump(c.Infobase, c.Credentials);
    ASSERT_TRUE(outcome.Finished);
    EXPECT_NE(outcome.ExitCode, 0u);
    EXPECT_FALSE(PathExists(dump_));
    std::string log = ReadFileBytes(log_);
    EXPECT_NE(log.find(c.Reason), std::string::npos) << log;
    EXPECT_NE(log.find(kNotDone + "\r\n"), std::string::npos) << log;
  }
  // Console sessions administer the cluster and hold no lock on the data.
  TRunOutcome outcome = Dump("/Ssrv1\\salary", "");
  EXPECT_EQ(outcome.ExitCode, 0u) << ReadFileBytes(log_);
}

TEST_F(DesignerTest, AnUnwritableDumpFileIsReportedInTheLog) {
  FileBase("");
  std::string command = DesignerCommand("V83.Application") + " CONFIG /F" + folder_ + "\\Base One /DumpIB" +
                        folder_ + "\\missing folder\\x.dt /Out" + log_;
  TRunOutcome outcome = RunHidden(command);
  EXPECT_NE(outcome.ExitCode, 0u);
  EXPECT_NE(ReadFileBytes(log_).find("Ошибка записи файла выгрузки"), std::string::npos);
}

// Knobs that change what the designer reports rather than what it checks.
TEST_F(DesignerTest, FaultKnobsShapeTheOutcome) {
  struct TCase {
    std::string Knob;
    DWORD ExitCode;
    bool DumpWritten;
    std::string Log;
  } cases[] = {
      {"NoDump=1", 0, false, kStarted + "\r\n" + kDone + "\r\n"},
      {"FailExit=3", 3, false,
       kStarted + "\r\nОшибка выгрузки информационной базы: внутренняя ошибка платформы\r\n" + kNotDone + "\r\n"},
      {"LogLineEnds=LF", 0, true, kStarted + "\n" + kDone + "\n"},
      {"LogNul=1", 0, true, kStarted + "\r\n" + std::string(1, '\0') + kDone + "\r\n"},
      {"LogLineEnds=LF\r\nFailExit=1", 1, false,
       kStarted + "\nОшибка выгрузки информационной базы: внутренняя ошибка платформы\n" + kNotDone + "\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Knob);
    FileBase("[Infobase]\r\n" + c.Knob + "\r\n");
    DeleteFileA(dump_.c_str());
    TRunOutcome outcome = Dump("/F" + folder_ + "\\Base One", "");
    ASSERT_TRUE(outcome.Finished);
    EXPECT_EQ(outcome.ExitCode, c.ExitCode);
    EXPECT_EQ(PathExists(dump_), c.DumpWritten);
    EXPECT_EQ(ReadFileBytes(log_), c.Log);
  }
}

TEST_F(DesignerTest, HangingDesignerNeverEnds) {
  FileBase("[Infobase]\r\nHang=1\r\n");
  TRunOutcome outcome = Dump("/F" + folder_ + "\\Base One", "", 3000);
  EXPECT_FALSE(outcome.Finished);
  EXPECT_EQ(ReadFileBytes(log_), kStarted + "\r\n");
  EXPECT_FALSE(PathExists(dump_));
}

TEST_F(DesignerTest, SlowDumpTakesAtLeastTheConfiguredTime) {
  FileBase("[Infobase]\r\nSlowDump=2000\r\n");
  TRunOutcome outcome = Dump("/F" + folder_ + "\\Base One", "");
  ASSERT_TRUE(outcome.Finished);
  EXPECT_EQ(outcome.ExitCode, 0u);
  EXPECT_GE(outcome.Milliseconds, 2000u);
  EXPECT_EQ(FileSize(dump_), 200000u);
}

TEST_F(DesignerTest, SparseDumpBeyondFourGigabytes) {
  FileBase("[Infobase]\r\nSize=5G\r\nSparse=1\r\n");
  TRunOutcome outcome = Dump("/F" + folder_ + "\\Base One", "");
  ASSERT_TRUE(outcome.Finished);
  ASSERT_EQ(outcome.ExitCode, 0u) << ReadFileBytes(log_);
  EXPECT_EQ(FileSize(dump_), 5ull << 30);

  HANDLE file = CreateFileA(dump_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  auto readAt = [file](uint64_t offset, size_t size) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    SetFilePointerEx(file, position, nullptr, FILE_BEGIN);
    std::string bytes(size, '\0');
    DWORD got = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(size), &got, nullptr);
    bytes.resize(got);
    return bytes;
  };
  EXPECT_EQ(readAt(0, 4), "SDTH");
  EXPECT_EQ(readAt(3ull << 30, 4096), std::string(4096, '\0')) << "the middle is a hole";
  std::string tail = readAt((5ull << 30) - 4096, 4096);
  EXPECT_NE(tail.find("SDTT"), std::string::npos) << "a closing record ends the dump";
  CloseHandle(file);
  DeleteFileA(dump_.c_str());
}

}  // namespace
}  // namespace ns::standin::test
