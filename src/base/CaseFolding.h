#pragma once
// Letter case of Windows-1251 text. Task names are registry key names, and the
// registry ignores letter case for Cyrillic letters as well as Latin ones, so
// the program must too when it looks a task up by name. This is done here
// without the C locale, which is neither Windows-1251 nor the same in the
// native build and under Windows.
#include <string>
#include <string_view>

namespace ns {

// The upper-case form of one Windows-1251 character: Latin a-z, Cyrillic а-я,
// ё and the letters of the other Cyrillic alphabets of the code page (ђ ѓ љ
// њ ќ ћ џ ў ј ґ є ї і ѕ). Every other byte is returned as it is.
char UpperCase1251(char c);

std::string UpperCase1251(std::string_view text);

// True when both texts hold the same letters, ignoring letter case.
bool SameText1251(std::string_view a, std::string_view b);

}  // namespace ns
