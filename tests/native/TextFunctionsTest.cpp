#include "base/TextFunctions.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

struct ValueCase {
  const char* source;
  const char* key;
  const char* stops;
  const char* expected;
};

TEST(ValueAfterKey, TakesTheValueUpToTheFirstStopCharacter) {
  const ValueCase cases[] = {
      {"Srvr=a;Ref=b;", "Ref=", ";", "b"},
      {"Srvr=a;Ref=b;", "Usr=", ";", ""},
      {"x/Param1abc", "/Param1", "/", "abc"},
      {"/Param1a//Param10j//Param11k/", "/Param1", "/", "a"},
      {"/FD:\\Base/NAdmin", "/F", "/", "D:\\Base"},
      {"/F/N", "/F", "/", ""},           // a stop follows the key directly
      {"abc/F", "/F", "/", ""},          // the key ends the source
      {"abc", "", "/", ""},              // an empty key finds nothing
      {"a=1,2;b", "a=", ";,", "1"},      // any of several stop characters
      {"/n x /N y", "/N", "/", " y"},    // keys are case-sensitive
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ValueAfterKey(c.source, c.key, c.stops), c.expected) << c.source << " key " << c.key;
  }
}

TEST(Trim, RemovesBlanksAtBothEnds) {
  EXPECT_EQ(Trim("  a b \t"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xFF"), "\xFF");  // a Cyrillic letter is not white space
}

}  // namespace
}  // namespace ns
