#pragma once
// Windows Sockets for the length of a test program, as the application
// starts it: version 1.1.
#include <gtest/gtest.h>
#include <winsock2.h>

namespace ns::test {

class TWinsockSession : public testing::Environment {
 public:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  }
  void TearDown() override { WSACleanup(); }
};

}  // namespace ns::test
