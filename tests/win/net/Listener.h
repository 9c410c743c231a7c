#pragma once
// A loopback TCP receiver for the delivery tests, run on a thread of its own
// inside the test program: it accepts connections one after the other and
// either keeps everything each one sends until the sender closes it, or
// takes a few bytes and then stops reading, as a stuck receiver would.
#include <winsock2.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ns::test {

class TTestListener {
 public:
  // Stops reading a connection after this many bytes; Unlimited reads to the
  // end.
  static constexpr std::size_t Unlimited = static_cast<std::size_t>(-1);

  // Listens on address:port (port 0: any free one). Another test of the
  // same machine may hold the port for a while, so binding is retried for
  // up to a minute; IsListening() tells whether it succeeded.
  TTestListener(const char* address, unsigned short port, std::size_t readLimit = Unlimited);
  ~TTestListener();
  TTestListener(const TTestListener&) = delete;
  TTestListener& operator=(const TTestListener&) = delete;

  bool IsListening() const { return listening_ != INVALID_SOCKET; }
  unsigned short Port() const { return port_; }

  // The bytes of each connection that has ended, in the order accepted;
  // waits up to `timeoutMs` for `count` of them.
  std::vector<std::string> Received(std::size_t count, int timeoutMs);

  // Connections accepted so far, ended or not.
  std::size_t Accepted() const { return accepted_; }

 private:
  void Run();
  void Serve(SOCKET connection);

  SOCKET listening_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::size_t readLimit_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> accepted_{0};
  std::vector<SOCKET> held_;  // connections left unread on purpose
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> received_;
  std::thread thread_;
};

}  // namespace ns::test
