#include "tasks/LaunchParameters.h"

#include <gtest/gtest.h>

#include "tasks/ScramblePassword.h"

namespace ns {
namespace {

TTaskRecord Record(int version, bool exclusively, bool addName, int days, const char* base,
                   const char* user, const char* password, const char* dumpIB) {
  TTaskRecord record;
  record.Version = version;
  record.Exclusively = exclusively;
  record.AddName = addName;
  record.Days = days;
  record.Base = base;
  record.User = user;
  record.Password = password;
  record.DumpIB = dumpIB;
  return record;
}

TEST(ComposeLaunchParameters, WritesTheStoredForm) {
  const struct {
    TTaskRecord record;
    const char* text;
  } cases[] = {
      {Record(2, true, true, 14, "srv01\\acc", "admin", "", "D:\\Archive"),
       "8.3*&/Days14/Ssrv01\\acc/Nadmin/DumpIBD:\\Archive"},
      {Record(1, false, true, 0, "D:\\Bases\\Shop", "", "", "E:\\Backup"),
       "8.2&/FD:\\Bases\\Shop/DumpIBE:\\Backup"},
      // A file infobase never stores "*"; no days write no "/Days".
      {Record(1, true, false, 0, "D:\\Base", "", "", "E:\\"), "8.2/FD:\\Base/DumpIBE:\\"},
      {Record(1, false, false, 7, "s\\b", "", "", "X"), "8.2/Days7/Ss\\b/DumpIBX"},
      // The user is trimmed; base and archive folder go in as typed, even empty.
      {Record(1, false, false, 0, "", "  Бухгалтер ", "", ""), "8.2/S/NБухгалтер/DumpIB"},
      // Any version other than 8.3 is written as 8.2.
      {Record(7, false, false, 0, "srv", "", "", "D:/Backup"), "8.2/Ssrv/DumpIBD:/Backup"},
      // A server with its cluster's port is a server: "*" stays.
      {Record(2, true, false, 0, "srv1:1641\\trade", "", "", "D:\\A"), "8.3*/Ssrv1:1641\\trade/DumpIBD:\\A"},
  };
  for (const auto& c : cases) EXPECT_EQ(ComposeLaunchParameters(c.record), c.text);
}

// The Days field as typed: 0, 000 and nothing are none; 007 is 7; junk is none.
TEST(RetentionDays, ReadsTheFieldAsAWholeNumber) {
  const struct {
    const char* text;
    int days;
  } cases[] = {{"", 0}, {"0", 0}, {"000", 0}, {"007", 7}, {" 14 ", 14}, {"+5", 5}, {"7x", 0}, {"abc", 0}, {"-3", -3}};
  for (const auto& c : cases) EXPECT_EQ(RetentionDays(c.text), c.days) << c.text;
}

TEST(ComposeLaunchParameters, PasswordIsScrambledWithTheTrimmedUserName) {
  auto text = ComposeLaunchParameters(Record(2, false, false, 0, "srv\\b", " admin ", "Секрет", "D:\\A"));
  ASSERT_EQ(text.rfind("8.3/Ssrv\\b/Nadmin/P", 0), 0u) << text;
  auto stored = text.substr(text.find("/P") + 2, 2 * 7);  // 6 letters and the first byte
  EXPECT_EQ(text.substr(text.find("/P") + 2 + stored.size()), "/DumpIBD:\\A");
  EXPECT_EQ(ScramblePassword(stored, "admin", false), "Секрет");
}

// A "/" would end a value in the stored text: the editor turns it round
// where Windows takes "\\" for the same path, and names the field where it
// cannot.
TEST(WithBackslashes, FoldersTakeBackslashesOtherFieldsAreRefused) {
  const struct {
    const char* base;
    const char* user;
    const char* dumpIB;
    const char* storedBase;
    const char* storedDumpIB;
    const char* field;  // the field named by the refusal; nullptr when stored
  } cases[] = {
      {"D:/Bases/Shop", "", "D:/Backup", "D:\\Bases\\Shop", "D:\\Backup", nullptr},
      {"//nas/bases/shop", "", "//nas/backup", "\\\\nas\\bases\\shop", "\\\\nas\\backup", nullptr},
      {"\\\\nas/bases", "", "E:\\", "\\\\nas\\bases", "E:\\", nullptr},
      {"srv1\\trade", "Иванов", "D:\\A/", "srv1\\trade", "D:\\A\\", nullptr},
      {"srv1:1641\\trade", "", "", "srv1:1641\\trade", "", nullptr},
      {"srv1/trade", "", "D:\\A", "srv1/trade", "D:\\A", "Адрес информационной базы"},
      {"srv1\\trade", "domain/user", "D:/A", "srv1\\trade", "D:\\A", "Пользователь"},
  };
  for (const auto& c : cases) {
    TTaskRecord typed = Record(2, true, false, 0, c.base, c.user, "пароль/с/косой", c.dumpIB);
    TTaskRecord stored = WithBackslashes(typed);
    EXPECT_EQ(stored.Base, c.storedBase) << c.base;
    EXPECT_EQ(stored.DumpIB, c.storedDumpIB) << c.dumpIB;
    EXPECT_EQ(stored.User, c.user);
    EXPECT_EQ(stored.Password, "пароль/с/косой");  // stored scrambled, never cut
    std::string expected = c.field ? "Поле «" + std::string(c.field) +
                                         "» не может содержать знак «/»: им кончается значение в строке "
                                         "параметров задания."
                                   : std::string();
    EXPECT_EQ(SlashFault(stored), expected) << c.base << " " << c.user;
    if (!c.field) {
      // Stored, each value reads back whole.
      TTaskRecord read = ParseLaunchParameters(ComposeLaunchParameters(stored));
      EXPECT_EQ(read.Base, c.storedBase);
      EXPECT_EQ(read.DumpIB, c.storedDumpIB);
      EXPECT_EQ(read.Password, "пароль/с/косой");
    }
  }
}

// What the worker makes of a stored text typed by hand: a "/" that begins
// no key shows a value cut there.
TEST(CutValueFragment, FindsASlashThatBeginsNoKey) {
  const struct {
    const char* text;
    const char* fragment;
  } cases[] = {
      {"8.3*&/Days14/Ssrv01\\acc/Nadmin/PA1B2/DumpIBD:\\Archive", ""},
      {"8.2/FD:\\Base/DumpIB", ""},
      {"8.2/Ssrv/Days7/DumpIBX", ""},
      {"8.3*&", ""},
      {"", ""},
      {"8.3/FC:\\Bases/DumpIBD:/Backup", "/Backup"},
      {"8.3/FC:\\Bases/DumpIBD:/Backup/Old", "/Backup/Old"},
      {"8.3/DumpIBD:/Backup/Old/FC:\\Bases", "/Backup/Old"},
      {"8.3/FC:\\Bases/DumpIB//nas/backup", "//nas/backup"},
      {"8.3/Ssrv/Ndomain/user/DumpIBD:\\A", "/user"},
      {"8.3/Ssrv/Ndomain/Fin/DumpIBD:\\A", ""},  // cut at what looks like a key: not to be seen
      {"8.3/Ssrv/dumpibD:\\A", "/dumpibD:\\A"},  // keys are case-sensitive
      {"8.3/Ssrv/DumpIBD:\\A/", "/"},
  };
  for (const auto& c : cases) EXPECT_EQ(CutValueFragment(c.text), c.fragment) << c.text;
}

TEST(ParseLaunchParameters, ReadsWhatComposeWrote) {
  for (const auto& record : {
           Record(2, true, true, 14, "srv01\\acc", "admin", "pw", "D:\\Archive"),
           Record(1, false, true, 999, "\\\\fs\\bases\\shop", "", "", "E:\\Backup"),
           Record(2, false, false, 0, "srv", "Иванов", "пароль с пробелом и я", ""),
           Record(1, false, false, 0, "", "", "x", ""),
       }) {
    auto read = ParseLaunchParameters(ComposeLaunchParameters(record));
    EXPECT_EQ(read.Version, record.Version);
    EXPECT_EQ(read.Exclusively, record.Exclusively);
    EXPECT_EQ(read.AddName, record.AddName);
    EXPECT_EQ(read.Days, record.Days);
    EXPECT_EQ(read.Base, record.Base);
    EXPECT_EQ(read.User, record.User);
    EXPECT_EQ(read.Password, record.Password);
    EXPECT_EQ(read.DumpIB, record.DumpIB);

    EXPECT_TRUE(NamesInfobase(ComposeLaunchParameters(record)));
  }
}

TEST(ParseLaunchParameters, HandMadeTexts) {
  // No "/" at all, or one at the very start: version 8.2, no flags.
  auto none = ParseLaunchParameters("8.3*&");
  EXPECT_EQ(none.Version, 1);
  EXPECT_FALSE(none.Exclusively);
  EXPECT_FALSE(none.AddName);
  auto leading = ParseLaunchParameters("/FD:\\Base 8.3*&/DumpIBX");
  EXPECT_EQ(leading.Version, 1);
  EXPECT_FALSE(leading.Exclusively);
  EXPECT_EQ(leading.Base, "D:\\Base 8.3*&");

  // A folder typed with "/" is cut there; values are trimmed.
  auto cut = ParseLaunchParameters(" 8.3 /F  D:\\Base  /N user /DumpIBD:/Backup");
  EXPECT_EQ(cut.Version, 2);
  EXPECT_EQ(cut.Base, "D:\\Base");
  EXPECT_EQ(cut.User, "user");
  EXPECT_EQ(cut.DumpIB, "D:");
  EXPECT_EQ(cut.Password, "");

  // "/F" and "/S" both: their values are joined; "/Days" after the key is
  // not the task's retention, as the worker would never apply it.
  auto both = ParseLaunchParameters("8.2/Fa/Sb/Days5/DumpIB");
  EXPECT_EQ(both.Base, "ab");
  EXPECT_EQ(both.Days, 0);

  EXPECT_THROW(ParseLaunchParameters("8.2/Ssrv/Nadmin/PXYZ/DumpIB"), EConvertError);
}

TEST(ParseLaunchParameters, UnreadablePasswordStillGivesEveryOtherField) {
  std::string error;
  auto record = ParseLaunchParameters("8.3&/Days3/Ssrv\\b/Nadmin/P XYZ /DumpIBD:\\A", &error);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(record.Password, "XYZ");  // the stored text, trimmed
  EXPECT_EQ(record.Version, 2);
  EXPECT_TRUE(record.AddName);
  EXPECT_EQ(record.Days, 3);
  EXPECT_EQ(record.Base, "srv\\b");
  EXPECT_EQ(record.User, "admin");
  EXPECT_EQ(record.DumpIB, "D:\\A");

  error.clear();
  std::string stored = ScramblePassword("pw", "admin", true);
  EXPECT_EQ(ParseLaunchParameters("8.2/Ssrv/Nadmin/P" + stored + "/DumpIB", &error).Password, "pw");
  EXPECT_EQ(error, "");
}

// The version, the marks and "/Days" are read from the text in front of the
// infobase key only.
TEST(ParseLaunchParameters, HeaderInFrontOfTheInfobaseKey) {
  const struct {
    const char* text;
    int version;
    bool exclusively;
    bool addName;
    int days;
    const char* base;
  } cases[] = {
      {"8.3*&/Days7/Ssrv\\b/DumpIBD:\\A", 2, true, true, 7, "srv\\b"},
      {"8.2/FD:\\Base/DumpIBD:\\A", 1, false, false, 0, "D:\\Base"},
      {"/FD:\\Base/DumpIBD:\\A", 1, false, false, 0, "D:\\Base"},
      {"  8.3 /Ssrv/DumpIB", 2, false, false, 0, "srv"},
      {"8.2/Daysabc/Ssrv/DumpIB", 1, false, false, 0, "srv"},  // not a number: 0
      {"8.2/Days7*&/Ssrv/DumpIB", 1, true, true, 0, "srv"},    // markers after /Days
      {"8.2/Ssrv/Days7/DumpIB", 1, false, false, 0, "srv"},    // /Days after the key
      {"8.3*&/Days7/NAdmin/DumpIBD:\\A", 2, true, true, 0, ""},  // no infobase key: up to the first "/"
      {"8.2/Days-3/FD:\\B/DumpIB", 1, false, false, -3, "D:\\B"},
      {"8.2*/FD:\\B/DumpIBX", 1, true, false, 0, "D:\\B"},  // hand-made "*" on a file base
  };
  for (const auto& c : cases) {
    TTaskRecord read = ParseLaunchParameters(c.text);
    EXPECT_EQ(read.Version, c.version) << c.text;
    EXPECT_EQ(read.Exclusively, c.exclusively) << c.text;
    EXPECT_EQ(read.AddName, c.addName) << c.text;
    EXPECT_EQ(read.Days, c.days) << c.text;
    EXPECT_EQ(read.Base, c.base) << c.text;
  }
}

TEST(NamesInfobase, NeitherFNorSIsABadText) {
  for (const char* text : {"", "8.3*&/Days7/NAdmin/DumpIBD:\\A", "8.2 f s"}) EXPECT_FALSE(NamesInfobase(text)) << text;
  EXPECT_TRUE(NamesInfobase("8.2/FD:\\B/DumpIB"));
  EXPECT_TRUE(NamesInfobase("8.2/Ssrv/DumpIB"));
  // The first "/F" ends the header even when "/S" comes before it.
  TTaskRecord read = ParseLaunchParameters("8.3/Ssrv/FD:\\B/DumpIB");
  EXPECT_EQ(read.Version, 2);
  EXPECT_EQ(read.Base, "D:\\Bsrv");
}

}  // namespace
}  // namespace ns
