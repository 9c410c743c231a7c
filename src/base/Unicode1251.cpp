#include "base/Unicode1251.h"

#include <algorithm>
#include <array>
#include <utility>

namespace ns {

namespace {

// The characters of the upper half of Windows-1251, 0x80 to 0xFF. 0x98 is
// unassigned.
constexpr char16_t UpperHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  //
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  //
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  //
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  //
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  //
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  //
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  //
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  //
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  //
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  //
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  //
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  //
};

// The same table turned round and sorted by character, for a binary search.
using TReverseEntry = std::pair<char16_t, unsigned char>;
const std::array<TReverseEntry, 127>& ReverseTable() {
  static const std::array<TReverseEntry, 127> table = [] {
    std::array<TReverseEntry, 127> entries{};
    size_t count = 0;
    for (int i = 0; i < 128; ++i) {
      if (UpperHalf[i] != 0) entries[count++] = {UpperHalf[i], static_cast<unsigned char>(0x80 + i)};
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  }();
  return table;
}

// The length of the well-formed sequence at `at` and its character; 0 when
// the byte there begins none.
size_t Utf8Sequence(std::string_view bytes, size_t at, char32_t& character) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  unsigned char lead = byte(at);
  if (lead < 0x80) {
    character = lead;
    return 1;
  }
  // Each lead byte: the sequence's length, its payload bits and the lowest
  // character that needs that length (anything lower is an overlong form).
  static constexpr struct {
    unsigned char first, last, mask;
    size_t length;
    char32_t lowest;
  } leads[] = {{0xC2, 0xDF, 0x1F, 2, 0x80}, {0xE0, 0xEF, 0x0F, 3, 0x800}, {0xF0, 0xF4, 0x07, 4, 0x10000}};
  size_t length = 0;
  char32_t lowest = 0;
  for (const auto& kind : leads) {
    if (lead >= kind.first && lead <= kind.last) {
      length = kind.length;
      lowest = kind.lowest;
      character = lead & kind.mask;
    }
  }
  if (length == 0) return 0;
  if (bytes.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = byte(at + i);
    if ((next & 0xC0) != 0x80) return 0;
    character = (character << 6) | (next & 0x3F);
  }
  bool surrogate = character >= 0xD800 && character <= 0xDFFF;
  if (character < lowest || character > 0x10FFFF || surrogate) return 0;
  return length;
}

}  // namespace

char UnicodeTo1251(char32_t character) {
  if (character < 0x80) return static_cast<char>(character);
  if (character > 0xFFFF) return '?';
  const auto& table = ReverseTable();
  auto found = std::lower_bound(table.begin(), table.end(), TReverseEntry{static_cast<char16_t>(character), 0});
  if (found == table.end() || found->first != character) return '?';
  return static_cast<char>(found->second);
}

bool IsValidUtf8(std::string_view bytes) {
  char32_t character;
  for (size_t at = 0; at < bytes.size();) {
    size_t length = Utf8Sequence(bytes, at, character);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string Utf8To1251(std::string_view utf8) {
  std::string text;
  text.reserve(utf8.size());
  char32_t character;
  for (size_t at = 0; at < utf8.size();) {
    size_t length = Utf8Sequence(utf8, at, character);
    text += length ? UnicodeTo1251(character) : '?';
    at += length ? length : 1;
  }
  return text;
}

std::string Utf16To1251(std::string_view bytes, bool bigEndian) {
  std::string text;
  text.reserve(bytes.size() / 2);
  auto unit = [&](size_t at) -> char32_t {
    auto first = static_cast<unsigned char>(bytes[at]);
    auto second = static_cast<unsigned char>(bytes[at + 1]);
    return bigEndian ? (first << 8 | second) : (second << 8 | first);
  };
  for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
    char32_t character = unit(at);
    bool high = character >= 0xD800 && character <= 0xDBFF;
    if (high && at + 3 < bytes.size()) {
      char32_t low = unit(at + 2);
      // A pair stands for one character beyond U+FFFF: one '?'.
      if (low >= 0xDC00 && low <= 0xDFFF) at += 2;
    }
    text += (character >= 0xD800 && character <= 0xDFFF) ? '?' : UnicodeTo1251(character);
  }
  return text;
}

}  // namespace ns
