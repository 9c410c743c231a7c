#include "tasks/ScramblePassword.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <random>

namespace ns {

namespace {

// Stands in for an empty user name. Only its first letter is ever used: with
// no user name every byte takes key position 1.
constexpr std::string_view DefaultKey = "Quendix";

// Byte arithmetic is modulo 255, not 256; this is what the stored passwords
// were written with.
constexpr unsigned Modulus = 255;

// Key positions 1, 2, ..., n, 1, 2, ... for a key of n bytes; always 1 for
// the empty key.
class TKeyCycle {
 public:
  explicit TKeyCycle(std::string_view key) : key_(key.empty() ? DefaultKey : key), length_(key.size()) {}

  unsigned Next() {
    position_ = position_ < length_ ? position_ + 1 : 1;
    return static_cast<unsigned char>(key_[position_ - 1]);
  }

 private:
  std::string_view key_;
  std::size_t length_;
  std::size_t position_ = 0;
};

void AppendHex(std::string& out, unsigned value) {
  constexpr char digits[] = "0123456789ABCDEF";
  out += digits[value >> 4];
  out += digits[value & 15];
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

unsigned HexPair(std::string_view text, std::size_t at) {
  int high = HexDigit(text[at]);
  int low = HexDigit(text[at + 1]);
  if (high < 0 || low < 0) {
    throw EConvertError("Пароль задания записан неверно: \"" + std::string(text.substr(at, 2)) +
                        "\" не шестнадцатеричное число.");
  }
  return static_cast<unsigned>(high * 16 + low);
}

// The order in which first bytes are tried: all 256 values, shuffled, so the
// byte that is finally stored is a uniform choice among those that work.
std::array<unsigned char, 256> ShuffledFirstBytes() {
  thread_local std::mt19937 generator{std::random_device{}()};
  std::array<unsigned char, 256> bytes;
  std::iota(bytes.begin(), bytes.end(), 0);
  std::shuffle(bytes.begin(), bytes.end(), generator);
  return bytes;
}

}  // namespace

std::string EncodePassword(std::string_view text, std::string_view key, unsigned char first) {
  if (text.empty()) return {};
  TKeyCycle cycle(key);
  std::string result;
  result.reserve(2 * (text.size() + 1));
  unsigned previous = first;
  AppendHex(result, previous);
  for (char c : text) {
    unsigned byte = static_cast<unsigned char>(c);
    unsigned encoded = ((byte + previous) % Modulus) ^ cycle.Next();
    AppendHex(result, encoded);
    previous = encoded;
  }
  return result;
}

std::string DecodePassword(std::string_view scrambled, std::string_view key) {
  if (scrambled.empty()) return {};
  if (scrambled.size() < 4 || scrambled.size() % 2 != 0) {
    throw EConvertError("Пароль задания записан неверно: ожидаются пары шестнадцатеричных цифр.");
  }
  TKeyCycle cycle(key);
  std::string result;
  unsigned previous = HexPair(scrambled, 0);
  for (std::size_t at = 2; at < scrambled.size(); at += 2) {
    unsigned encoded = HexPair(scrambled, at);
    unsigned sum = encoded ^ cycle.Next();
    unsigned byte = sum > previous ? sum - previous : sum + Modulus - previous;
    result += static_cast<char>(byte);
    previous = encoded;
  }
  return result;
}

std::string ScramblePassword(std::string_view text, std::string_view key, bool encode) {
  if (!encode) return DecodePassword(text, key);
  if (text.empty()) return {};
  for (unsigned char first : ShuffledFirstBytes()) {
    std::string encoded = EncodePassword(text, key, first);
    if (DecodePassword(encoded, key) == text) return encoded;
  }
  throw EScrambleError(
      "Пароль нельзя сохранить с этим именем пользователя: измените пароль или имя пользователя.");
}

}  // namespace ns
