#include "tasks/ScramblePassword.h"

#include <gtest/gtest.h>

#include <string>

namespace ns {
namespace {

const std::string LongKey = "Администратор базы бухгалтерии, филиал №7 (Новосибирск)";

std::string EveryByte() {
  std::string text;
  for (int c = 1; c < 256; ++c) text += static_cast<char>(c);  // a stored text holds no NUL
  return text;
}

TEST(ScramblePassword, KnownEncodings) {
  // Worked by hand: prev 0x10; 'a' (0x61): (0x61 + 0x10) mod 255 = 0x71,
  // XOR 'u' (0x75) = 0x04; 'b' (0x62): (0x62 + 0x04) = 0x66, XOR 's' (0x73) = 0x15.
  EXPECT_EQ(EncodePassword("ab", "us", 0x10), "100415");
  // The modulus is 255: 0xF0 + 0x20 = 0x110 -> 0x11, XOR 'k' (0x6B) = 0x7A.
  EXPECT_EQ(EncodePassword("\xF0", "k", 0x20), "207A");
  // Without a user name every byte takes 'Q' (0x51), the first letter of the
  // default key, never its second: 0x61 + 0 = 0x61 ^ 0x51 = 0x30; 0x61 + 0x30 = 0x91 ^ 0x51 = 0xC0.
  EXPECT_EQ(EncodePassword("aa", "", 0x00), "0030C0");
  // A one-letter key repeats.
  EXPECT_EQ(DecodePassword("0030C0", ""), "aa");
  EXPECT_EQ(DecodePassword("100415", "us"), "ab");
  EXPECT_EQ(DecodePassword("207a", "k"), "\xF0");  // lower-case digits are read too
}

TEST(ScramblePassword, EncodedFormIsUpperCaseHexPairsWithARandomFirstByte) {
  for (std::string_view text : {"x", "Пароль", "p@ss w0rd/Ё"}) {
    std::string encoded = ScramblePassword(text, "admin", true);
    EXPECT_EQ(encoded.size(), 2 * (text.size() + 1));
    EXPECT_EQ(encoded.find_first_not_of("0123456789ABCDEF"), std::string::npos) << encoded;
  }
  EXPECT_EQ(ScramblePassword("", "admin", true), "");
  EXPECT_EQ(ScramblePassword("", "admin", false), "");
  // 40 encodings of one password that all agree would mean no random byte.
  std::string first = ScramblePassword("secret", "admin", true);
  bool differs = false;
  for (int i = 0; i < 40 && !differs; ++i) differs = ScramblePassword("secret", "admin", true) != first;
  EXPECT_TRUE(differs);
}

TEST(ScramblePassword, EveryByteRoundTripsUnderShortEmptyAndLongKeys) {
  const std::string text = EveryByte();
  for (const std::string& key : {std::string(), std::string("a"), std::string("\xFF"), LongKey}) {
    for (int i = 0; i < 50; ++i) {
      std::string encoded = ScramblePassword(text, key, true);
      ASSERT_EQ(ScramblePassword(encoded, key, false), text) << "key \"" << key << "\" " << encoded;
    }
    // Every byte value alone, and after every other one.
    for (int c = 1; c < 256; ++c) {
      std::string single(1, static_cast<char>(c));
      EXPECT_EQ(DecodePassword(ScramblePassword(single, key, true), key), single) << c;
      std::string pair = single + static_cast<char>(256 - c);
      EXPECT_EQ(DecodePassword(ScramblePassword(pair, key, true), key), pair) << c;
    }
  }
}

TEST(ScramblePassword, ALetterYaAfterAnEncoded0xFFWouldReadBackWrong) {
  // The stored arithmetic cannot carry 0xFF after an encoded 0xFF: it reads
  // back as NUL. Such an encoding exists for "я"...
  // (0xFF + 0xFF) mod 255 = 0, XOR 'Q' = 0x51.
  EXPECT_EQ(EncodePassword("я", "", 0xFF), "FF51");
  EXPECT_EQ(DecodePassword("FF51", ""), std::string(1, '\0'));
  // ...and for "я" after a letter whose encoding is 0xFF.
  int bad = 0;
  for (int first = 0; first < 256; ++first) {
    std::string encoded = EncodePassword("aяя", "user", static_cast<unsigned char>(first));
    if (DecodePassword(encoded, "user") != "aяя") ++bad;
  }
  EXPECT_GT(bad, 0);
  // ScramblePassword never stores such a form: passwords full of "я" always
  // read back, whatever first byte it happened to draw.
  for (const std::string& key : {std::string(), std::string("я"), LongKey}) {
    for (std::string password : {"я", "яя", "aяя", "яяяяяяяяяяяяяяяя", "пароль-я"}) {
      for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(DecodePassword(ScramblePassword(password, key, true), key), password)
            << password << " key " << key;
      }
    }
  }
}

TEST(ScramblePassword, APasswordNoFirstByteCanCarryIsRefused) {
  // Key bytes chosen so that the encoded bytes in front of the 256 letters
  // "я" run through every value 0..255 whatever the first byte: each first
  // byte meets an encoded 0xFF somewhere.
  std::string key;
  for (int j = 1; j < 256; ++j) key += static_cast<char>(j ^ (j - 1));
  std::string password(256, '\xFF');
  EXPECT_THROW(ScramblePassword(password, key, true), EScrambleError);
  try {
    ScramblePassword(password, key, true);
  } catch (const Exception& error) {
    EXPECT_NE(std::string(error.what()).find("имя пользователя"), std::string::npos);
  }
  // One letter fewer and it can be stored.
  password.pop_back();
  EXPECT_EQ(DecodePassword(ScramblePassword(password, key, true), key), password);
}

TEST(ScramblePassword, DecodingAnythingButHexPairsIsAConversionError) {
  for (std::string_view bad : {"A", "AB", "ABC", "ABCDE", "ZZ00", "00ZZ", "0G00", "00 1", "-100", "0x00"}) {
    EXPECT_THROW(ScramblePassword(bad, "admin", false), EConvertError) << bad;
  }
  // The error is one of the program's own, so callers catch it as such.
  EXPECT_THROW(DecodePassword("AB", ""), Exception);
}

TEST(ScramblePassword, AnotherUserNameDecodesToOtherBytesWithoutError) {
  std::string encoded = ScramblePassword("secret", "admin", true);
  EXPECT_NE(ScramblePassword(encoded, "Admin", false), "secret");
  EXPECT_EQ(ScramblePassword(encoded, "admin", false), "secret");
}

}  // namespace
}  // namespace ns
