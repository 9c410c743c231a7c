#include "platform/InfobaseAddress.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(IsFileInfobase, ColonOrTwoBackslashesInARow) {
  const struct {
    const char* base;
    bool file;
  } cases[] = {
      {"C:\\Bases\\Trade", true}, {"\\\\fs01\\bases\\trade", true}, {"srv1\\\\trade", true},
      {"D:", true},               {"srv1\\trade", false},         {"srv1\\dept\\trade", false},
      {"srv1", false},            {"", false},                    {"\\srv1\\trade\\", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsFileInfobase(c.base), c.file) << c.base;
}

}  // namespace
}  // namespace ns
