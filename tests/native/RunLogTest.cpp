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

// The designer may write its log in UTF-16 or UTF-8; the registry and the
// report carry Windows-1251, so such a log is converted, and a character
// the code page lacks becomes "?". The inputs are spelled as bytes: the
// compiler would turn text into Windows-1251.
TEST(RunLog, UnicodeLogsBecomeWindows1251) {
  using namespace std::string_literals;
  const struct {
    const char* what;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"UTF-16 little-endian", "\xFF\xFE\x12\x04\x4B\x04\x13\x04\x40\x04\r\0\n\0o\0k\0"s, "ВыГр\r\nok\r\n"},
      {"UTF-16 big-endian", "\xFE\xFF\x04\x12\x04\x4B\0\n\0o"s, "Вы\r\no\r\n"},
      {"UTF-16 stops at its NUL character", "\xFF\xFEo\0\0\0k\0"s, "o\r\n"},
      {"UTF-16 NUL bytes inside characters", "\xFF\xFE\x00\x04\x10\x04"s, "?А\r\n"},
      {"UTF-16 odd last byte", "\xFF\xFEo\0k"s, "o\r\n"},
      {"UTF-16 pair outside the code page", "\xFF\xFE\x3D\xD8\x00\xDE" "a\0"s, "?a\r\n"},
      {"UTF-16 lone surrogate", "\xFF\xFE\x00\xDC" "a\0"s, "?a\r\n"},
      {"UTF-16 BOM only", "\xFF\xFE"s, ""},
      {"UTF-8 with BOM", "\xEF\xBB\xBF\xD0\x92\xD1\x8B\xD0\xB3\xD1\x80\xD1\x83\xD0\xB7\xD0\xBA\xD0\xB0\n", "Выгрузка\r\n"},
      {"UTF-8 with BOM, ASCII only", "\xEF\xBB\xBFok", "ok\r\n"},
      {"UTF-8 without BOM", "\xD0\x81\xD0\xB6 \xE2\x84\x96 \xE2\x82\xAC\r\n", "Ёж № €\r\n"},
      {"UTF-8 the code page lacks", "\xE6\x97\xA5 \xF0\x9F\x98\x80 \xC3\xA9 \xD0\xAF", "? ? ? Я\r\n"},
      {"UTF-8 with BOM and a broken byte", "\xEF\xBB\xBF\xD0\x92\xD0 \xFF", "В? ?\r\n"},
      {"UTF-8 stops at NUL", "\xD0\x92\0\xFF"s, "В\r\n"},
      // What is not UTF-8 throughout stays Windows-1251 byte for byte.
      {"1251 Cyrillic", "Выгрузка завершена", "Выгрузка завершена\r\n"},
      {"1251 pair that starts like UTF-8", "\xD0\x92\xE0", "\xD0\x92\xE0\r\n"},
      {"overlong UTF-8 is not UTF-8", "\xC0\xAF", "\xC0\xAF\r\n"},
      {"UTF-8 surrogate is not UTF-8", "\xED\xA0\x80", "\xED\xA0\x80\r\n"},
      {"a truncated sequence is not UTF-8", "ab\xD0", "ab\xD0\r\n"},
      {"a BOM-like start of a 1251 log", "\xFF\xFD", "\xFF\xFD\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(RebuildLogText(c.bytes), c.text) << c.what;
}

TEST(RunLog, StateDateTimeFormat) {
  EXPECT_EQ(FormatStateDateTime({{2026, 12, 6}, 3, 5, 9}), "06.12.2026 03:05:09");
  EXPECT_EQ(FormatStateDateTime({{2026, 1, 31}, 23, 59, 59}), "31.01.2026 23:59:59");
  EXPECT_EQ(FormatStateDateTime({{999, 10, 1}, 0, 0, 0}), "01.10.0999 00:00:00");
}

}  // namespace
}  // namespace ns
