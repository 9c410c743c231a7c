#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

using TArguments = std::vector<std::string>;

TEST(SplitCommandLine, SeparatesQuotesAndStopsAtTheFirstEmptyArgument) {
  const struct {
    const char* line;
    TArguments arguments;
  } cases[] = {
      {"Nightshelf.exe", {}},
      {"Nightshelf.exe Daily Weekly", {"Daily", "Weekly"}},
      {"\"C:\\Program Files\\Nightshelf.exe\" Daily", {"Daily"}},  // the program may be quoted
      {"N.exe   Daily\t\r\nWeekly  ", {"Daily", "Weekly"}},      // any of 1..32 separates
      {"N.exe a\x01" "b\x1F" "c", {"a", "b", "c"}},
      {"N.exe \"Еженедельно в пятницу\" Ежедневно", {"Еженедельно в пятницу", "Ежедневно"}},
      {"N.exe Da\"il\"y \"\"\"Weekly\"", {"Daily", "Weekly"}},    // quotes only group
      {"N.exe \"a b", {"a b"}},                                    // an open quote runs to the end
      {"N.exe A \"\" B", {"A"}},                                   // "" is an empty argument
      {"N.exe \"\" A", {}},
      {"N.exe \"\"A", {"A"}},                                      // a leading pair is skipped
      {"N.exe A B A", {"A", "B", "A"}},                            // duplicates are the queue's concern
      {"N.exe a/b /c *", {"a/b", "/c", "*"}},
      {"N.exe \xFF\xC0\xA0x", {"\xFF\xC0\xA0x"}},                   // bytes above 127 are no separators
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
  EXPECT_EQ(SplitCommandLine(std::string_view("N.exe A\0B", 9)), TArguments{"A"});
}

// The one text of a command line that fits into the shared block.
std::string BuildHandOverText(const TArguments& arguments) {
  auto texts = BuildHandOverTexts(arguments);
  EXPECT_LE(texts.size(), 1u);
  return texts.empty() ? std::string() : texts[0];
}

TEST(HandOverText, TaskListForm) {
  EXPECT_EQ(BuildHandOverText({"Daily", "Weekly"}), "/Param1Daily//Param2Weekly/");
  EXPECT_EQ(BuildHandOverText({}), "");
  EXPECT_EQ(ShowRequest, "NightshelfShowMainForm-088FA840-B10D-11D6-BC38-016067709674");
}

TEST(HandOverText, TakenApartAgain) {
  const struct {
    TArguments arguments;
    TArguments names;
    bool allTasks;
  } cases[] = {
      {{"Daily", "Weekly"}, {"Daily", "Weekly"}, false},
      {{"A", "*", "B"}, {"A"}, true},
      {{"*"}, {}, true},
      {{"a/b", "c"}, {"a", "c"}, false},  // a name is cut at its first "/"
      {{"A", "/c", "B"}, {"A"}, false},   // and one that begins with "/" ends the list
      {{"x*", "**"}, {"x*", "**"}, false},
      {{"Ежедневно"}, {"Ежедневно"}, false},
  };
  for (const auto& c : cases) {
    auto tasks = ParseHandOverText(BuildHandOverText(c.arguments));
    EXPECT_EQ(tasks.Names, c.names) << BuildHandOverText(c.arguments);
    EXPECT_EQ(tasks.AllTasks, c.allTasks) << BuildHandOverText(c.arguments);
  }
  EXPECT_TRUE(ParseHandOverText("").Names.empty());
  EXPECT_TRUE(ParseHandOverText(ShowRequest).Names.empty());
}

TEST(HandOverText, TwelveArgumentsKeepTheirOrder) {
  // "/Param1" must find the first piece, not the tenth to twelfth; and when
  // the first argument begins with a digit ("/Param1" "1C" reads
  // "/Param11C"), the tenth to twelfth key must not find the first piece.
  for (std::string first : {"T1", "1C", "0", "2", "0x"}) {
    TArguments arguments{first};
    for (int i = 2; i <= 12; ++i) arguments.push_back("T" + std::to_string(i));
    EXPECT_EQ(ParseHandOverText(BuildHandOverText(arguments)).Names, arguments) << first;
  }
}

TEST(HandOverText, LongCommandLinesAreSplitIntoTextsThatFit) {
  TArguments arguments;
  for (int i = 0; i < 150; ++i) arguments.push_back("Задача" + std::to_string(i));
  auto texts = BuildHandOverTexts(arguments);
  ASSERT_GE(texts.size(), 2u);
  TArguments received;
  for (const auto& text : texts) {
    EXPECT_LE(text.size(), HandOverTextLimit);
    auto tasks = ParseHandOverText(text);
    received.insert(received.end(), tasks.Names.begin(), tasks.Names.end());
  }
  EXPECT_EQ(received, arguments);

  // Exactly full, one byte over, and a name no text can hold.
  std::string filler(HandOverTextLimit - 8, 'x');  // "/Param1" + filler + "/" fills a text
  EXPECT_EQ(BuildHandOverTexts({filler}), TArguments{"/Param1" + filler + "/"});
  EXPECT_EQ(BuildHandOverTexts({filler + "y"}), TArguments{});
  EXPECT_EQ(BuildHandOverTexts({"A", filler, "B"}),
            (TArguments{"/Param1A/", "/Param1" + filler + "/", "/Param1B/"}));
  EXPECT_EQ(BuildHandOverTexts({}), TArguments{});
}

}  // namespace
}  // namespace ns
