#include "base/CaseFolding.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(CaseFolding, EveryLetterOfTheCodePageHasItsPair) {
  // Whole alphabets, written in the source, so a slip in the table shows.
  EXPECT_EQ(UpperCase1251("abcdefghijklmnopqrstuvwxyz"), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  EXPECT_EQ(UpperCase1251("абвгдеёжзийклмнопрстуфхцчшщъыьэюя"),
            "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
  EXPECT_EQ(UpperCase1251("ђѓљњќћџўјґєїіѕ"), "ЂЃЉЊЌЋЏЎЈҐЄЇІЅ");
}

TEST(CaseFolding, LeavesEverythingElseAlone) {
  // Upper-case letters, digits, punctuation and the non-letters of the upper
  // half (quotes, dashes, №, §, the euro sign) map to themselves.
  int letters = 0;
  for (int c = 0; c < 256; ++c) {
    char byte = static_cast<char>(c);
    char upper = UpperCase1251(byte);
    if (upper != byte) {
      ++letters;
      EXPECT_EQ(UpperCase1251(upper), upper) << "upper case of " << c << " is not upper case";
    }
  }
  EXPECT_EQ(letters, 26 + 33 + 14);
  EXPECT_EQ(UpperCase1251("№§«»–—€ 0-9_"), "№§«»–—€ 0-9_");
}

TEST(CaseFolding, SameTextIgnoresCaseOnly) {
  EXPECT_TRUE(SameText1251("Ежедневно", "ЕЖЕДНЕВНО"));
  EXPECT_TRUE(SameText1251("daily-Ёлка", "DAILY-ёЛКА"));
  EXPECT_TRUE(SameText1251("", ""));
  EXPECT_FALSE(SameText1251("Daily", "Daily "));
  EXPECT_FALSE(SameText1251("Е", "Ё"));
}

}  // namespace
}  // namespace ns
