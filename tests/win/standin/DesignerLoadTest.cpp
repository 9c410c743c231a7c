// The stand-in designer creating an empty file infobase and loading a dump
// into it, driven as a restore check drives the platform: the registered
// command followed by CREATEINFOBASE or DESIGNER with quoted values, run
// hidden, judged by the exit code, the Windows-1251 log and the infobase's
// data file.
#include <gtest/gtest.h>

#include "IniFile.h"
#include "StandinTestSupport.h"

namespace ns::standin::test {
namespace {

const std::string kLoadStarted = "Начало загрузки информационной базы";
const std::string kLoaded = "Загрузка информационной базы успешно завершена";
const std::string kNotLoaded = "Загрузка информационной базы не выполнена";
const std::string kCreated = "Создание информационной базы успешно завершено";
const std::string kNotCreated = "Создание информационной базы не выполнено";
const std::string kDamaged = "Файл выгрузки поврежден: ";
constexpr size_t kDataHeaderSize = 4096;

// Removes the folder and everything in it; nothing when it is missing.
void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolder(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

// The stand-in's own header of a data file, [Standin Infobase]; an empty
// section when the file has none.
TIniSection DataHeader(const std::string& dataFile) {
  std::string bytes = PathExists(dataFile) ? ReadFileBytes(dataFile) : std::string();
  bytes = bytes.substr(0, std::min(bytes.find('\0'), kDataHeaderSize));
  TIniFile parsed = TIniFile::Parse(bytes);
  TIniSection* section = parsed.First("Standin Infobase");
  return section ? *section : TIniSection();
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class DesignerLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ScratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    // Folders of an earlier run go too: an infobase is never created over
    // an existing one.
    RemoveFolder(folder_);
    CreateDirectoryA(folder_.c_str(), nullptr);
    source_ = folder_ + "\\Source Base";
    base_ = folder_ + "\\Check Base";
    dump_ = folder_ + "\\Daily.dt";
    log_ = folder_ + "\\Check.log";
    Knobs("");
  }
  void TearDown() override { WriteFileBytes(kStatePath, ""); }

  // The load's knobs, in the shared state file.
  void Knobs(const std::string& lines) { WriteFileBytes(kStatePath, "[Restore]\r\n" + lines); }

  // A sound dump of `size` bytes, written by the designer itself.
  std::string MakeDump(const std::string& description) {
    MakeFileInfobase(source_, 1000, "[Infobase]\r\n" + description);
    DeleteFileA(dump_.c_str());
    std::string dumpLog = folder_ + "\\Dump.log";
    TRunOutcome outcome = RunHidden(DesignerCommand("V83.Application") + " CONFIG /F" + source_ + " /DumpIB" +
                                    dump_ + " /Out" + dumpLog);
    EXPECT_EQ(outcome.ExitCode, 0u) << ReadFileBytes(dumpLog);
    return ReadFileBytes(dump_);
  }

  TRunOutcome Create(const std::string& connection, bool withLog = true) {
    DeleteFileA(log_.c_str());
    return RunHidden(DesignerCommand("V83.Application") + " CREATEINFOBASE " + connection +
                     (withLog ? " /Out \"" + log_ + "\"" : ""));
  }

  // The restore check's command line: the registered command, DESIGNER,
  // every value quoted.
  TRunOutcome Load(const std::string& base, const std::string& dump, DWORD timeout = 120000) {
    DeleteFileA(log_.c_str());
    return RunHidden(DesignerCommand("V83.Application") + " DESIGNER /F\"" + base + "\" /RestoreIB \"" + dump +
                         "\" /Out \"" + log_ + "\"",
                     timeout);
  }

  std::string Log() { return PathExists(log_) ? ReadFileBytes(log_) : "(no log)"; }
  std::string DataFile(const std::string& base) { return base + "\\1Cv8.1CD"; }

  // The scratch infobase, made as the check makes it.
  void CreateBase() {
    RemoveFolder(base_);
    ASSERT_EQ(Create("File=\"" + base_ + "\"").ExitCode, 0u) << Log();
  }

  void ExpectLoaded(const std::string& dump) {
    std::string data = ReadFileBytes(DataFile(base_));
    ASSERT_EQ(data.size(), kDataHeaderSize + dump.size());
    EXPECT_TRUE(data.compare(kDataHeaderSize, std::string::npos, dump) == 0) << "the infobase holds the dump";
    TIniSection header = DataHeader(DataFile(base_));
    EXPECT_EQ(header.Get("State"), "Loaded");
    EXPECT_EQ(header.Get("Dump"), source_);
    EXPECT_EQ(header.Get("DumpSize"), std::to_string(dump.size()));
    EXPECT_FALSE(PathExists(DataFile(base_) + ".load"));
  }

  void ExpectEmpty() {
    EXPECT_EQ(DataHeader(DataFile(base_)).Get("State"), "Empty");
    EXPECT_EQ(FileSize(DataFile(base_)), kDataHeaderSize);
    EXPECT_FALSE(PathExists(DataFile(base_) + ".load")) << "nothing half-written is left";
  }

  std::string folder_, source_, base_, dump_, log_;
};

TEST_F(DesignerLoadTest, CreatesAFileInfobaseFromEachFormOfTheConnectionString) {
  // In the way of folders that cannot be made.
  WriteFileBytes(folder_ + "\\a file", "x");
  MakeFileInfobase(folder_ + "\\Existing", 1000, "");
  struct TCase {
    std::string Connection;
    std::string Folder;  // made with its data file; empty: nothing made
    std::string Reason;  // empty: success
  } cases[] = {
      {"File=\"" + folder_ + "\\Quoted Base\"", folder_ + "\\Quoted Base", ""},
      {"File=\"" + folder_ + "\\Trailing Semicolon\";", folder_ + "\\Trailing Semicolon", ""},
      {"\"File=" + folder_ + "\\Whole String Quoted;\"", folder_ + "\\Whole String Quoted", ""},
      {"File=" + folder_ + "\\Unquoted Base", folder_ + "\\Unquoted Base", ""},
      {"file=\"" + folder_ + "\\Trailing Backslash\\\";Locale=ru", folder_ + "\\Trailing Backslash", ""},
      {"File=\"" + folder_ + "\\Several\\Levels Deep\"", folder_ + "\\Several\\Levels Deep", ""},
      {"File=\"" + folder_ + "\\Existing\"", "", "Информационная база уже существует: " + folder_ + "\\Existing"},
      {"File=\"" + folder_ + "\\a file\\Base\"", "", "Не удалось создать каталог информационной базы"},
      {"NoEqualsSign", "", "Неверная строка соединения: NoEqualsSign"},
      {"Srvr=\"srv1\";Ref=\"trade\"", "", "Создание серверной информационной базы не поддерживается"},
      {"", "", "Не указана строка соединения"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Connection);
    std::string before = ReadFileBytes(DataFile(folder_ + "\\Existing"));
    TRunOutcome outcome = Create(c.Connection);
    ASSERT_TRUE(outcome.Finished);
    std::string log = Log();
    if (c.Reason.empty()) {
      EXPECT_EQ(outcome.ExitCode, 0u) << log;
      EXPECT_EQ(log, Lines({kCreated}));
      EXPECT_EQ(DataHeader(DataFile(c.Folder)).Get("State"), "Empty") << "the stand-in's own data file";
    } else {
      EXPECT_EQ(outcome.ExitCode, 1u);
      EXPECT_EQ(log.find(c.Reason), 0u) << log;
      EXPECT_NE(log.find("\r\n" + kNotCreated + "\r\n"), std::string::npos) << log;
    }
    EXPECT_EQ(ReadFileBytes(DataFile(folder_ + "\\Existing")), before) << "an infobase is never overwritten";
  }
  EXPECT_FALSE(PathExists(folder_ + "\\a file\\Base"));

  // Without /Out the exit code alone tells.
  EXPECT_EQ(Create("File=\"" + folder_ + "\\No Log\"", false).ExitCode, 0u);
  EXPECT_TRUE(PathExists(DataFile(folder_ + "\\No Log")));
  EXPECT_EQ(Create("File=\"" + folder_ + "\\No Log\"", false).ExitCode, 1u);
  EXPECT_FALSE(PathExists(log_));

  // The created infobase is one: the designer dumps it.
  ASSERT_EQ(RunHidden(DesignerCommand("V83.Application") + " CONFIG /F" + folder_ + "\\Quoted Base /DumpIB" + dump_ +
                      " /Out" + log_)
                .ExitCode,
            0u)
      << Log();
}

TEST_F(DesignerLoadTest, LoadsASoundDumpAndRefusesADamagedOne) {
  std::string sound = MakeDump("Size=300000\r\n");
  ASSERT_EQ(sound.size(), 300000u);
  size_t secondBlock = 16 + static_cast<unsigned char>(sound[4]) + (static_cast<unsigned char>(sound[5]) << 8);
  size_t tailBlock = sound.rfind("SDTT");
  std::string flipped = sound;
  flipped[flipped.size() / 2] ^= 0x01;
  std::string badHeader = sound;
  badHeader[secondBlock] = 'X';
  std::string renumbered = sound;
  renumbered[secondBlock + 8] ^= 0x02;
  struct TCase {
    const char* Name;
    std::string Dump;  // written as the dump file; "(missing)": none
    std::string Reason;  // empty: loads
  } cases[] = {
      {"sound", sound, ""},
      {"one byte flipped in the middle", flipped, kDamaged + "контрольная сумма не совпадает"},
      {"truncated inside a block", sound.substr(0, sound.size() - 1000), kDamaged + "выгрузка обрывается в блоке"},
      {"truncated before the tail block", sound.substr(0, tailBlock), kDamaged + "выгрузка обрывается после блока"},
      {"truncated inside a block header", sound.substr(0, secondBlock + 10),
       kDamaged + "выгрузка обрывается в заголовке блока 1"},
      {"a block header damaged", badHeader,
       kDamaged + "неверный заголовок блока по смещению " + std::to_string(secondBlock)},
      {"a block number damaged", renumbered, kDamaged + "блок по смещению " + std::to_string(secondBlock)},
      {"bytes after the tail block", sound + "SDTD", kDamaged + "данные после завершающего блока"},
      {"an empty file", "", kDamaged + "файл пуст"},
      {"missing", "(missing)", "Файл выгрузки не обнаружен: " + folder_ + "\\Copy.dt"},
  };
  std::string copy = folder_ + "\\Copy.dt";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    CreateBase();
    DeleteFileA(copy.c_str());
    if (c.Dump != "(missing)") WriteFileBytes(copy, c.Dump);
    TRunOutcome outcome = Load(base_, copy);
    ASSERT_TRUE(outcome.Finished);
    std::string log = Log();
    if (c.Reason.empty()) {
      EXPECT_EQ(outcome.ExitCode, 0u) << log;
      EXPECT_EQ(log, Lines({kLoadStarted, kLoaded}));
      ExpectLoaded(sound);
    } else {
      EXPECT_EQ(outcome.ExitCode, 1u) << log;
      EXPECT_EQ(log.find(kLoadStarted + "\r\n" + c.Reason), 0u) << log;
      EXPECT_TRUE(log.size() > kNotLoaded.size() + 2 && log.compare(log.size() - kNotLoaded.size() - 2,
                                                                    std::string::npos, kNotLoaded + "\r\n") == 0)
          << log;
      ExpectEmpty();
    }
  }

  // A loaded infobase dumps as large as the dump it was loaded from.
  CreateBase();
  ASSERT_EQ(Load(base_, dump_).ExitCode, 0u) << Log();
  ASSERT_EQ(RunHidden(DesignerCommand("V82.Application") + " CONFIG /F" + base_ + " /DumpIB" + copy + " /Out" + log_)
                .ExitCode,
            0u);
  EXPECT_EQ(FileSize(copy), sound.size());
}

// Every size a dump can have loads, the shortened last data block and the
// hole of a sparse dump included; a size below the header and the tail
// block gives a cut dump, which does not.
TEST_F(DesignerLoadTest, DumpsOfEverySizeLoad) {
  struct TCase {
    std::string Description;
    std::string Reason;  // empty: loads
  } cases[] = {
      {"Size=1000", ""},
      {"Size=16500", ""},
      {"Size=16700", ""},
      {"Size=33000", ""},
      {"Size=1M", ""},
      {"Size=5M\r\nSparse=1", ""},
      {"Size=100", kDamaged},
      {"Size=0", kDamaged + "файл пуст"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Description);
    std::string dump = MakeDump(c.Description);
    CreateBase();
    TRunOutcome outcome = Load(base_, dump_);
    ASSERT_TRUE(outcome.Finished);
    if (c.Reason.empty()) {
      EXPECT_EQ(outcome.ExitCode, 0u) << Log();
      EXPECT_EQ(dump.substr(dump.size() - 4), "\"}\r\n") << "the tail block ends the file";
      ExpectLoaded(dump);
    } else {
      EXPECT_EQ(outcome.ExitCode, 1u);
      EXPECT_NE(Log().find(c.Reason), std::string::npos) << Log();
    }
  }
}

TEST_F(DesignerLoadTest, LoadsOnlyIntoAnExistingInfobase) {
  MakeDump("Size=50000\r\n");
  CreateDirectoryA((folder_ + "\\Folder Only").c_str(), nullptr);
  MakeFileInfobase(folder_ + "\\Locked", 1000, "[Infobase]\r\nSession=1,1CV8C\r\n");
  MakeFileInfobase(folder_ + "\\With Users", 1000, "[Infobase]\r\nUser=Admin:secret\r\n");
  struct TCase {
    std::string Base, Reason;
  } cases[] = {
      {folder_ + "\\No Such Folder", "Файл базы данных не обнаружен: " + folder_ + "\\No Such Folder\\1Cv8.1CD"},
      {folder_ + "\\Folder Only", "Файл базы данных не обнаружен: " + folder_ + "\\Folder Only\\1Cv8.1CD"},
      {folder_ + "\\Locked", "Ошибка установки монопольного режима"},
      {folder_ + "\\With Users", "Идентификация пользователя не выполнена"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Base);
    TRunOutcome outcome = Load(c.Base, dump_);
    ASSERT_TRUE(outcome.Finished);
    EXPECT_EQ(outcome.ExitCode, 1u);
    EXPECT_EQ(Log().find(c.Reason), 0u) << Log();
    EXPECT_NE(Log().find(kNotLoaded + "\r\n"), std::string::npos) << Log();
  }
  EXPECT_FALSE(PathExists(folder_ + "\\No Such Folder")) << "a load makes no infobase";
  EXPECT_EQ(FileSize(DataFile(folder_ + "\\Locked")), 1000u);
}

// The platform's form of the keys, and the program's own CONFIG form.
TEST_F(DesignerLoadTest, AcceptsTheKeysAsThePlatformDoes) {
  std::string dump = MakeDump("Size=50000\r\n");
  std::string designer = DesignerCommand("V83.Application");
  struct TCase {
    std::string Arguments;
    std::string Reason;  // empty: loads
  } cases[] = {
      {" DESIGNER /F\"" + base_ + "\" /RestoreIB \"" + dump_ + "\" /Out \"" + log_ + "\"", ""},
      {" designer /f \"" + base_ + "\" /restoreib\"" + dump_ + "\" /out\"" + log_ + "\" /DisableStartupDialogs", ""},
      {" DESIGNER /DisableStartupMessages /F" + base_ + " /RestoreIB" + dump_ + " /Out" + log_, ""},
      {" DESIGNER /F\"" + base_ + "\" /UC \"unlock\" /N\"\" /P\"\" /RestoreIB \"" + dump_ + "\" /Out \"" + log_ + "\"",
       ""},
      {" CONFIG /F" + base_ + " /RestoreIB" + dump_ + " /Out" + log_, ""},
      {" DESIGNER /F\"" + base_ + "\" /RestoreIB \"" + dump_ + "\" /Out \"" + log_ + "\" /Unknown",
       "Неверный параметр командной строки: /Unknown"},
      {" DESIGNER /Out \"" + log_ + "\" /F\"" + base_ + "\" /RestoreIB \"" + dump_,
       "Не закрыта кавычка в значении параметра /RestoreIB"},
      {" DESIGNER /Out \"" + log_ + "\" /F\"" + base_ + "\"x /RestoreIB \"" + dump_ + "\"",
       "Неверное значение параметра /F: x"},
      {" DESIGNER /Out \"" + log_ + "\" /F\"" + base_ + "\" /RestoreIB \"\"", "Не указан файл выгрузки (ключ /RestoreIB)"},
      {" DESIGNER /Out \"" + log_ + "\" /F\"" + base_ + "\" /RestoreIB \"" + dump_ + "\" /DumpIB \"" + dump_ + "\"",
       "Ключи /DumpIB и /RestoreIB не могут быть указаны вместе"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Arguments);
    CreateBase();
    DeleteFileA(log_.c_str());
    TRunOutcome outcome = RunHidden(designer + c.Arguments);
    ASSERT_TRUE(outcome.Finished);
    if (c.Reason.empty()) {
      EXPECT_EQ(outcome.ExitCode, 0u) << Log();
      EXPECT_EQ(Log(), Lines({kLoadStarted, kLoaded}));
      ExpectLoaded(dump);
    } else {
      EXPECT_EQ(outcome.ExitCode, 1u);
      EXPECT_EQ(Log(), Lines({c.Reason, kNotLoaded})) << Log();
      ExpectEmpty();
    }
  }
}

// The load's knobs live apart from the dump's: the dump taken under them
// is sound, and a dump made damaged by its own knob fails only its load.
TEST_F(DesignerLoadTest, KnobsShapeTheLoadAndNotTheDump) {
  const std::string internal = "Ошибка загрузки информационной базы: внутренняя ошибка платформы";
  struct TCase {
    std::string Knobs;
    std::string DumpKnobs;
    bool Finished;
    DWORD ExitCode;
    std::string Log;  // "(no log)": none written
    bool Loaded;
  } cases[] = {
      {"", "", true, 0, Lines({kLoadStarted, kLoaded}), true},
      {"FailExit=4", "", true, 4, Lines({kLoadStarted, internal, kNotLoaded}), false},
      {"NoLog=1", "", true, 0, "(no log)", true},
      {"NoLog=yes\r\nFailExit=2", "", true, 2, "(no log)", false},
      {"Hang=1", "", false, 0, Lines({kLoadStarted}), false},
      {"Hang=1\r\nNoLog=1", "", false, 0, "(no log)", false},
      {"LogLineEnds=LF\r\nFailExit=1", "", true, 1, kLoadStarted + "\n" + internal + "\n" + kNotLoaded + "\n", false},
      {"", "DamagedDump=1", true, 1, "", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Knobs + c.DumpKnobs);
    Knobs(c.Knobs);
    std::string dump = MakeDump("Size=70000\r\n" + c.DumpKnobs);
    ASSERT_EQ(dump.size(), 70000u);
    CreateBase();
    TRunOutcome outcome = Load(base_, dump_, c.Finished ? 120000 : 3000);
    EXPECT_EQ(outcome.Finished, c.Finished);
    if (c.Finished) {
      EXPECT_EQ(outcome.ExitCode, c.ExitCode) << Log();
    }
    if (c.DumpKnobs.empty()) {
      EXPECT_EQ(Log(), c.Log);
    } else {
      EXPECT_EQ(Log().find(kLoadStarted + "\r\n" + kDamaged + "контрольная сумма не совпадает"), 0u) << Log();
    }
    if (c.Loaded) {
      ExpectLoaded(dump);
    } else {
      ExpectEmpty();
    }
  }
}

TEST_F(DesignerLoadTest, SlowLoadTakesAtLeastTheConfiguredTime) {
  Knobs("Slow=2000");
  std::string dump = MakeDump("Size=50000\r\n");
  CreateBase();
  TRunOutcome outcome = Load(base_, dump_);
  ASSERT_TRUE(outcome.Finished);
  EXPECT_EQ(outcome.ExitCode, 0u) << Log();
  EXPECT_GE(outcome.Milliseconds, 2000u);
  ExpectLoaded(dump);
}

TEST_F(DesignerLoadTest, FailingCreationKnob) {
  Knobs("CreateFailExit=5\r\nLogEncoding=UTF-8");
  TRunOutcome outcome = Create("File=\"" + base_ + "\"");
  ASSERT_TRUE(outcome.Finished);
  EXPECT_EQ(outcome.ExitCode, 5u);
  EXPECT_FALSE(PathExists(DataFile(base_)));
  // "Ошибка создания информационной базы: …" in UTF-8.
  EXPECT_EQ(Log().substr(0, 12), "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0");
}

}  // namespace
}  // namespace ns::standin::test
