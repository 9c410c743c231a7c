#include "platform/ConnectionString.h"

#include <gtest/gtest.h>

namespace ns {
namespace {

TEST(ConnectionString, WorkersForm) {
  const struct {
    const char* base;
    const char* user;
    const char* password;
    const char* text;
  } cases[] = {
      {"C:\\Bases\\Trade", "Admin", "", "File=C:\\Bases\\Trade;Usr=Admin;Pwd="},
      {"srv1\\trade", "Admin", "", "Srvr=srv1;Ref=trade;Usr=Admin;Pwd="},
      {"srv1", "Admin", "", "Srvr=srv1;Usr=Admin;Pwd="},
      {"srv1\\dept\\trade", "", "", "Srvr=srv1;Ref=dept\\trade;Usr=;Pwd="},
      {"\\\\fs01\\bases\\trade", "u", "p w", "File=\\\\fs01\\bases\\trade;Usr=u;Pwd=p w"},  // UNC
      {"srv1\\\\trade", "u", "p", "File=srv1\\\\trade;Usr=u;Pwd=p"},  // two backslashes: a file base
      {"srv1\\", "Иванов", "пароль", "Srvr=srv1;Ref=;Usr=Иванов;Pwd=пароль"},
      {"", "", "", "Srvr=;Usr=;Pwd="},
      // A server given with its cluster's port.
      {"srv1:1641\\trade", "Admin", "", "Srvr=srv1:1641;Ref=trade;Usr=Admin;Pwd="},
      {"srv1:1641", "Admin", "", "Srvr=srv1:1641;Usr=Admin;Pwd="},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildConnectionString({c.base, c.user, c.password}), c.text) << c.base;
}

TEST(ConnectionString, TestButtonsFormQuotesFolderAndUser) {
  EXPECT_EQ(BuildTestConnectionString("C:\\Bases\\Trade", "Admin", "secret"),
            "File='C:\\Bases\\Trade';Usr='Admin';Pwd=secret");
  EXPECT_EQ(BuildTestConnectionString("srv1\\dept\\trade", "", ""), "Srvr=srv1;Ref=dept\\trade;Usr='';Pwd=");
  EXPECT_EQ(BuildTestConnectionString("srv1", " a ", " b "), "Srvr=srv1;Usr=' a ';Pwd= b ");  // untrimmed
  EXPECT_EQ(BuildTestConnectionString("srv1:1641\\trade", "u", ""), "Srvr=srv1:1641;Ref=trade;Usr='u';Pwd=");
}

TEST(ConnectionString, ServerInfobaseNameIsWhatFollowsTheFirstBackslash) {
  EXPECT_EQ(ServerInfobaseName("srv1\\trade"), "trade");
  EXPECT_EQ(ServerInfobaseName("srv1\\dept\\trade"), "dept\\trade");
  EXPECT_EQ(ServerInfobaseName("srv1"), "");
  EXPECT_EQ(ServerInfobaseName("srv1\\"), "");
  EXPECT_EQ(ServerInfobaseName("C:\\Bases\\trade"), "");  // a file infobase
  EXPECT_EQ(ServerInfobaseName("\\\\fs01\\trade"), "");
  EXPECT_EQ(ServerInfobaseName("srv1:1641\\trade"), "trade");
}

}  // namespace
}  // namespace ns
