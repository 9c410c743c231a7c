#include "net/Report.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

using TNames = std::vector<std::string>;

TEST(Report, NextListEntryCutsAtEachSemicolon) {
  std::string remaining = "a;bc;;d";
  std::string entry = "stale";
  EXPECT_TRUE(NextListEntry(remaining, entry));
  EXPECT_EQ(entry, "a");
  EXPECT_EQ(remaining, "bc;;d");
  EXPECT_TRUE(NextListEntry(remaining, entry));
  EXPECT_EQ(entry, "bc");
  EXPECT_FALSE(NextListEntry(remaining, entry));
  EXPECT_EQ(entry, "");
  EXPECT_EQ(remaining, "d");
  remaining.clear();
  entry = "stale";
  EXPECT_FALSE(NextListEntry(remaining, entry));
  EXPECT_EQ(entry, "");
}

TEST(Report, Recipients) {
  const struct {
    const char* servers;
    TNames names;
  } cases[] = {
      {"pc1 ; pc2", {"pc1", "pc2"}},
      {"pc1;;pc2", {"pc1"}},  // the first empty entry ends the list
      {";pc1", {}},
      {"pc1;", {"pc1"}},
      {"   ", {}},
      {"", {}},
      {" p c 1 ;10.0.0.7", {"pc1", "10.0.0.7"}},  // blanks go wherever they stand
      {"pc1\t;pc2", {"pc1\t", "pc2"}},             // other white space stays
      {"бухгалтерия;склад", {"бухгалтерия", "склад"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportRecipients(c.servers), c.names) << c.servers;
}

TEST(Report, Text) {
  // "Протокол выгрузки " byte for byte, then the name, CR LF and the log.
  EXPECT_EQ(ReportText("Daily", ""),
            "\xCF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\x20\xE2\xFB\xE3\xF0\xF3\xE7\xEA\xE8\x20"
            "Daily\r\n");
  EXPECT_EQ(ReportText("Daily", "Ошибка соединения с базой."),
            "Протокол выгрузки Daily\r\nОшибка соединения с базой.");
}

TEST(Report, WireMessage) {
  std::string text(100, 'x');
  std::string message = ReportHeader(text, "BUH-PC") + ReportBody(text);
  ASSERT_EQ(message.size(), 121u);  // 20 + 100 + the NUL
  EXPECT_EQ(message.substr(0, 4), std::string("\x65\x00\x00\x00", 4));  // 101, little-endian
  EXPECT_EQ(message.substr(4, 16), std::string("BUH-PC\0\0\0\0\0\0\0\0\0\0", 16));
  EXPECT_EQ(message.substr(20, 100), text);
  EXPECT_EQ(message.back(), '\0');

  // Lengths past one byte, in little-endian order.
  std::string big(0x12344, 'y');
  EXPECT_EQ(ReportHeader(big, "A").substr(0, 4), std::string("\x45\x23\x01\x00", 4));
  EXPECT_EQ(ReportHeader("", "A").substr(0, 4), std::string("\x01\x00\x00\x00", 4));
}

TEST(Report, SenderFieldAlwaysHoldsATerminatedName) {
  const struct {
    std::string name;
    std::string field;
  } cases[] = {
      {"", std::string(16, '\0')},                                // no name: all zero
      {"ABCDEFGHIJKLMNO", std::string("ABCDEFGHIJKLMNO\0", 16)},  // 15 characters fill it
      {"ABCDEFGHIJKLMNOPQRS", std::string("ABCDEFGHIJKLMNO\0", 16)},
      {"СКЛАД", std::string("СКЛАД") + std::string(11, '\0')},
  };
  for (const auto& c : cases) {
    std::string header = ReportHeader("text", c.name);
    ASSERT_EQ(header.size(), ReportHeaderSize);
    EXPECT_EQ(header.substr(4), c.field) << c.name;
  }
}

}  // namespace
}  // namespace ns
