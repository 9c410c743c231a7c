// The blocking socket against receivers on the loopback interface: whole
// transfers, refusals, names that do not resolve, receivers that stop
// reading and a peer that never answers the connection.
#include "net/Blocksock.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>

#include "Listener.h"
#include "WinsockSession.h"

namespace ns {
namespace {

using test::TTestListener;

const auto* const Session = testing::AddGlobalTestEnvironment(new test::TWinsockSession);

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

// The operation's name and the Winsock code of the failure `action` raises.
template <typename Action>
std::pair<std::string, int> Failure(Action action) {
  try {
    action();
  } catch (const EBlockingSocketException& e) {
    return {e.what(), e.ErrorCode()};
  }
  return {"no exception", 0};
}

// A raw listening socket on a free loopback port, for peers that misbehave
// in ways the test listener does not; `where` receives its address.
SOCKET RawLoopbackListener(sockaddr_in& where) {
  SOCKET server = socket(AF_INET, SOCK_STREAM, 0);
  where = {};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = inet_addr("127.0.0.1");
  EXPECT_EQ(bind(server, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
  EXPECT_EQ(listen(server, 1), 0);
  int length = sizeof where;
  getsockname(server, reinterpret_cast<sockaddr*>(&where), &length);
  return server;
}

TEST(Blocksock, SendsEveryByteOfALargeBuffer) {
  TTestListener listener("127.0.0.1", 0);
  ASSERT_TRUE(listener.IsListening());
  const std::string bytes = Pattern(3 * 1024 * 1024 + 17);
  {
    TBlockingSocket socket;
    socket.Create(SOCK_STREAM);
    socket.Connect(TBlockingSocket::GetHostByName("127.0.0.1", listener.Port()), 15);
    EXPECT_EQ(socket.Send(bytes.data(), 20, 15), 20);
    EXPECT_EQ(socket.Send(bytes.data() + 20, static_cast<int>(bytes.size() - 20), 15),
              static_cast<int>(bytes.size() - 20));
    socket.CloseSocket();
  }
  std::vector<std::string> received = listener.Received(1, 20000);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_TRUE(received[0] == bytes) << received[0].size() << " bytes received";
}

TEST(Blocksock, NamesResolveToIPv4AddressesWithThePort) {
  sockaddr_in address = TBlockingSocket::GetHostByName("localhost", 800);
  EXPECT_EQ(address.sin_family, AF_INET);
  EXPECT_EQ(address.sin_port, htons(800));
  EXPECT_EQ(address.sin_addr.s_addr, inet_addr("127.0.0.1"));
  EXPECT_EQ(TBlockingSocket::GetHostByName("127.0.0.2", 1).sin_addr.s_addr, inet_addr("127.0.0.2"));
}

TEST(Blocksock, FailuresNameTheirOperationAndCarryTheWinsockCode) {
  auto [resolve, resolveCode] = Failure([] { TBlockingSocket::GetHostByName("nosuchhost.invalid", 800); });
  EXPECT_EQ(resolve, "GetHostByName");
  EXPECT_NE(resolveCode, 0);

  // Nothing listens on the port just freed.
  unsigned short port;
  {
    TTestListener listener("127.0.0.1", 0);
    ASSERT_TRUE(listener.IsListening());
    port = listener.Port();
  }
  TBlockingSocket socket;
  socket.Create(SOCK_STREAM);
  auto [connect, connectCode] = Failure([&] {
    socket.Connect(TBlockingSocket::GetHostByName("127.0.0.1", port), 15);
  });
  EXPECT_EQ(connect, "Connect");
  EXPECT_EQ(connectCode, WSAECONNREFUSED);


  TBlockingSocket unsupported;
  auto [create, createCode] = Failure([&] { unsupported.Create(12345); });
  EXPECT_EQ(create, "Create");
  EXPECT_NE(createCode, 0);
  EXPECT_EQ(unsupported.Handle(), INVALID_SOCKET);

  static_assert(std::is_base_of_v<Exception, EBlockingSocketException>);
}

// A receiver that resets the connection: the next send fails as "Send".
TEST(Blocksock, ResetConnectionFailsTheSend) {
  sockaddr_in where;
  SOCKET server = RawLoopbackListener(where);
  ASSERT_FALSE(HasFailure());

  TBlockingSocket socket;
  socket.Create(SOCK_STREAM);
  socket.Connect(where, 15);
  SOCKET accepted = accept(server, nullptr, nullptr);
  ASSERT_NE(accepted, INVALID_SOCKET);
  linger abort{1, 0};  // close with a reset
  setsockopt(accepted, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
  closesocket(accepted);
  closesocket(server);

  // The reset reaches the sender with a delay, so it may take a send or two.
  std::pair<std::string, int> failure{"no exception", 0};
  for (int attempt = 0; attempt < 50 && failure.first == "no exception"; ++attempt) {
    failure = Failure([&] { socket.Send("report", 6, 1); });
    Sleep(20);
  }
  EXPECT_EQ(failure.first, "Send");
  EXPECT_TRUE(failure.second == WSAECONNRESET || failure.second == WSAECONNABORTED) << failure.second;
}

TEST(Blocksock, ClosingWithoutASocketOrTwiceDoesNothing) {
  TBlockingSocket socket;
  socket.CloseSocket();
  socket.Create(SOCK_STREAM);
  EXPECT_NE(socket.Handle(), INVALID_SOCKET);
  socket.CloseSocket();
  EXPECT_EQ(socket.Handle(), INVALID_SOCKET);
  socket.CloseSocket();
}

// A receiver that takes the beginning of a transfer and then stops reading:
// the limit holds for the whole transfer, not only until the first bytes
// leave, so the sender is free again soon after it.
TEST(Blocksock, ReceiverThatStopsReadingEndsTheSendAtTheTimeLimit) {
  for (std::size_t readBeforeStalling : {std::size_t{0}, std::size_t{64 * 1024}}) {
    TTestListener listener("127.0.0.1", 0, readBeforeStalling);
    ASSERT_TRUE(listener.IsListening());
    TBlockingSocket socket;
    socket.Create(SOCK_STREAM);
    socket.Connect(TBlockingSocket::GetHostByName("127.0.0.1", listener.Port()), 15);
    const std::string bytes = Pattern(64 * 1024 * 1024);
    const auto start = std::chrono::steady_clock::now();
    auto [send, code] = Failure([&] { socket.Send(bytes.data(), static_cast<int>(bytes.size()), 1); });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(send, "Send timeout") << readBeforeStalling;
    EXPECT_EQ(code, WSAETIMEDOUT);
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    // Far below anything an unbounded send would take (for ever).
    EXPECT_LT(elapsed, std::chrono::seconds(10));
  }
}

// A peer whose accept queue is full drops the connection request, as a
// switched-off computer leaves it unanswered: the connection attempt gives
// up at its own limit rather than the system's much longer one.
TEST(Blocksock, UnansweredConnectionGivesUpAtTheTimeLimit) {
  sockaddr_in where;
  SOCKET full = RawLoopbackListener(where);
  ASSERT_FALSE(HasFailure());

  // Fill the accept queue with connections nobody accepts.
  std::array<TBlockingSocket, 4> queued;
  bool unanswered = false;
  for (TBlockingSocket& socket : queued) {
    socket.Create(SOCK_STREAM);
    const auto start = std::chrono::steady_clock::now();
    auto [connect, code] = Failure([&] { socket.Connect(where, 1); });
    if (connect == "no exception") continue;
    EXPECT_EQ(connect, "Connect");
    EXPECT_EQ(code, WSAETIMEDOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    unanswered = true;
    break;
  }
  EXPECT_TRUE(unanswered) << "the peer's queue never filled";
  closesocket(full);
}

}  // namespace
}  // namespace ns
