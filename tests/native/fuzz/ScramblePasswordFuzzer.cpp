// libFuzzer target: the scrambled password. The first byte gives the length
// of the user name that follows (at most 31 bytes); the rest is the text.
// - Decoding any text returns or throws EConvertError, and throws exactly
//   when the text is not made of at least two hexadecimal pairs; digits read
//   alike in either case; the password has one byte per pair after the first.
// - Encoding the text as a password either stores upper-case pairs that
//   decode to it, or throws EScrambleError, and then no first byte at all
//   stores it so that it reads back.
#include <algorithm>
#include <string>

#include "FuzzInput.h"
#include "tasks/ScramblePassword.h"

namespace {

using ns::fuzz::Require;

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool IsStoredForm(std::string_view text) {
  return text.size() >= 4 && text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), IsHexDigit);
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

void Decode(std::string_view text, std::string_view key) {
  try {
    const std::string password = ns::ScramblePassword(text, key, false);
    Require(text.empty() || IsStoredForm(text), "a malformed text decoded");
    Require(password.size() == (text.empty() ? 0 : text.size() / 2 - 1), "one byte per pair after the first");
    Require(ns::ScramblePassword(UpperCase(text), key, false) == password, "the case of the digits matters");
  } catch (const ns::EConvertError&) {
    Require(!text.empty() && !IsStoredForm(text), "a well-formed text was refused");
  }
}

void EncodeAndDecode(std::string_view password, std::string_view key) {
  try {
    const std::string stored = ns::ScramblePassword(password, key, true);
    Require(stored.size() == (password.empty() ? 0 : 2 * (password.size() + 1)), "stored length");
    Require(stored == UpperCase(stored) && (stored.empty() || IsStoredForm(stored)), "stored form");
    Require(ns::ScramblePassword(stored, key, false) == password, "the stored password reads back otherwise");
  } catch (const ns::EScrambleError&) {
    Require(!password.empty(), "the empty password was refused");
    for (unsigned first = 0; first < 256; ++first) {
      const std::string stored = ns::EncodePassword(password, key, static_cast<unsigned char>(first));
      Require(ns::DecodePassword(stored, key) != password, "refused a password that a first byte stores");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view rest = ns::fuzz::AsText(data + 1, size - 1);
  const std::string_view key = rest.substr(0, data[0] % 32u);
  rest.remove_prefix(key.size());
  Decode(rest, key);
  EncodeAndDecode(rest, key);
  return 0;
}
