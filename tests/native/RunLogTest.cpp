#include "backup/RunLog.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(RunLog, LinesEndWithCrLfWhateverTheFileUsed) {
  using namespace std::string_literals;
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"", ""},
      {"one", "one\r\n"},                                  // the last line gets its CR LF too
      {"one\ntwo\n", "one\r\ntwo\r\n"},
      {"one\r\ntwo\r\n", "one\r\ntwo\r\n"},
      {"one\rtwo", "one\r\ntwo\r\n"},
      {"one\n\ntwo", "one\r\n\r\ntwo\r\n"},               // empty lines stay
      {"one\r\r\ntwo", "one\r\n\r\ntwo\r\n"},
      {"one\n\rtwo", "one\r\n\r\ntwo\r\n"},               // LF CR is two line ends
      {"\n", "\r\n"},
      {"one\0two\nthree"s, "one\r\n"},                     // reading stops at the first NUL
      {"\0one"s, ""},
      {"Выгрузка завершена\n", "Выгрузка завершена\r\n"},
      {"\xFF\x80\t\x01", "\xFF\x80\t\x01\r\n"},           // other bytes pass untouched
  };
  for (const auto& c : cases) EXPECT_EQ(RebuildLogText(c.bytes), c.text) << c.bytes;
}

TEST(RunLog, StateDateTimeFormat) {
  EXPECT_EQ(FormatStateDateTime({{2026, 12, 6}, 3, 5, 9}), "06.12.2026 03:05:09");
  EXPECT_EQ(FormatStateDateTime({{2026, 1, 31}, 23, 59, 59}), "31.01.2026 23:59:59");
  EXPECT_EQ(FormatStateDateTime({{999, 10, 1}, 0, 0, 0}), "01.10.0999 00:00:00");
}

}  // namespace
}  // namespace ns
