#include "platform/InfobaseAddress.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(IsFileInfobase, DriveLetterAndColonOrTwoBackslashesInARow) {
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

// A colon elsewhere than after a drive letter is a server's port (or
// nothing a folder could hold): such an address names a server.
TEST(IsFileInfobase, ServerWithAPortIsAServer) {
  const struct {
    const char* base;
    bool file;
  } cases[] = {
      {"srv1:1641\\trade", false},    {"srv1:1641", false},        {"localhost:1541\\db", false},
      {"10.0.0.5:1541\\trade", false}, {"1:\\Bases", false},       {"Ж:\\База", false},
      {"::1\\trade", false},            {"srv1\\trade:2", false},   {":", false},
      {"d:", true},                     {"z:bases", true},           {"C:/Bases/Trade", true},
      {"srv1:1641\\\\trade", true},     {"\\\\fs01:445\\share", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsFileInfobase(c.base), c.file) << c.base;
}

TEST(InfobaseServerHost, ThePartBeforeTheBackslashWithoutThePort) {
  const struct {
    const char* base;
    const char* host;
  } cases[] = {
      {"srv1\\trade", "srv1"},          {"srv1:1641\\trade", "srv1"},  {"srv1\\dept\\trade", "srv1"},
      {"srv1", "srv1"},                 {"srv1:1641", "srv1"},          {"10.0.0.5:1541\\db", "10.0.0.5"},
      {"[fe80::1]:1541\\db", "[fe80::1]"}, {"\\trade", ""},            {"C:\\Bases\\trade", ""},
      {"\\\\fs01\\trade", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(InfobaseServerHost(c.base), c.host) << c.base;
}

TEST(NamesThisComputer, LoopbackNamesAndTheComputersOwn) {
  const struct {
    const char* host;
    bool local;
  } cases[] = {
      {"localhost", true}, {"LocalHost", true}, {"127.0.0.1", true}, {".", true},     {"[::1]", true},
      {"buh-pc", true},    {"BUH-PC", true},    {"buh-pc.corp.local", true},           {"srv1", false},
      {"buh", false},      {"", false},         {"127.0.0.2", false},
  };
  for (const auto& c : cases) EXPECT_EQ(NamesThisComputer(c.host, {"BUH-PC", "", "buh-pc.corp.local"}), c.local) << c.host;
}

}  // namespace
}  // namespace ns
