#include "base/CaseFolding.h"

#include <algorithm>
#include <array>

namespace ns {

namespace {

using TCaseTable = std::array<unsigned char, 256>;

constexpr TCaseTable MakeUpperCaseTable() {
  TCaseTable table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c);
  for (int c = 'a'; c <= 'z'; ++c) table[c] = static_cast<unsigned char>(c - 'a' + 'A');
  // а..я (0xE0..0xFF) sit 0x20 above А..Я (0xC0..0xDF).
  for (int c = 0xE0; c <= 0xFF; ++c) table[c] = static_cast<unsigned char>(c - 0x20);
  // The rest of the code page's letters are scattered: lower case -> upper case.
  constexpr unsigned char pairs[][2] = {
      {0x90, 0x80},  // ђ Ђ
      {0x83, 0x81},  // ѓ Ѓ
      {0x9A, 0x8A},  // љ Љ
      {0x9C, 0x8C},  // њ Њ
      {0x9D, 0x8D},  // ќ Ќ
      {0x9E, 0x8E},  // ћ Ћ
      {0x9F, 0x8F},  // џ Џ
      {0xA2, 0xA1},  // ў Ў
      {0xBC, 0xA3},  // ј Ј
      {0xB4, 0xA5},  // ґ Ґ
      {0xB8, 0xA8},  // ё Ё
      {0xBA, 0xAA},  // є Є
      {0xBF, 0xAF},  // ї Ї
      {0xB3, 0xB2},  // і І
      {0xBE, 0xBD},  // ѕ Ѕ
  };
  for (const auto& pair : pairs) table[pair[0]] = pair[1];
  return table;
}

constexpr TCaseTable UpperCaseTable = MakeUpperCaseTable();

}  // namespace

char UpperCase1251(char c) {
  return static_cast<char>(UpperCaseTable[static_cast<unsigned char>(c)]);
}

std::string UpperCase1251(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperCase1251(c);
  return result;
}

bool SameText1251(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return UpperCase1251(x) == UpperCase1251(y); });
}

}  // namespace ns
