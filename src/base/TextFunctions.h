#pragma once
// Reading the value that follows a key inside a parameter
// string ("/DumpIB", "Ref=", "/Param1"...). Values are never quoted or
// escaped: a value simply runs up to the next stop character.
#include <string>
#include <string_view>

namespace ns {

// The characters after the first occurrence of `key` in `source`, up to (not
// including) the first character that occurs in `stops`, or to the end.
// Empty when the key is empty or does not occur.
std::string ValueAfterKey(std::string_view source, std::string_view key, std::string_view stops);

// `text` without blanks (code 32) and control characters at either end.
std::string Trim(std::string_view text);

}  // namespace ns
