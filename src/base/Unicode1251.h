#pragma once
// Unicode text turned into the program's Windows-1251. The conversion is the
// program's own, not the system's: the designer's log must come out the same
// whatever the computer's ANSI code page is, and in the native build too.
#include <string>
#include <string_view>

namespace ns {

// The Windows-1251 byte of one Unicode character; '?' for one the code page
// lacks.
char UnicodeTo1251(char32_t character);

// Whether `bytes` is well-formed UTF-8 from end to end: no stray
// continuation byte, no cut sequence, no overlong form, no surrogate,
// nothing past U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// UTF-8 as Windows-1251. A byte that begins no well-formed sequence becomes
// one '?' and the reading goes on with the next byte.
std::string Utf8To1251(std::string_view utf8);

// UTF-16 code units as Windows-1251, little- or big-endian. A surrogate pair
// (which 1251 never holds) and a lone surrogate each become one '?'; an odd
// last byte is dropped.
std::string Utf16To1251(std::string_view bytes, bool bigEndian);

}  // namespace ns
