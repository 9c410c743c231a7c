#include "tasks/Settings.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(Settings, DesignerTimeoutIsAWholeNumberOfSecondsWithinAWeek) {
  // Twelve hours, as the guide tells administrators.
  constexpr unsigned long Default = 43200;
  const struct {
    const char* text;
    unsigned long seconds;
  } cases[] = {
      {"3600", 3600},
      {" 90 ", 90},           // blanks around it, as typed into regedit
      {"1", 1},
      {"604800", 604800},     // a week, the most there is
      {"604801", Default},    // over the maximum
      {"0", Default},         // no limit at all is not an option
      {"-1", Default},
      {"+5", Default},
      {"12abc", Default},     // not the 12 seconds a lenient parser would take
      {"1e3", Default},
      {"", Default},
      {"   ", Default},
      {"99999999999999999999999", Default},  // overflow
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDesignerTimeoutSeconds(c.text), c.seconds) << '"' << c.text << '"';
}

}  // namespace
}  // namespace ns
