#include "Listener.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace ns::test {

namespace {

// Waits up to 50 ms for `s` to become readable, so that the thread notices a
// stop request soon.
bool Readable(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait{0, 50 * 1000};
  return select(0, &set, nullptr, nullptr, &wait) > 0;
}

}  // namespace

TTestListener::TTestListener(const char* address, unsigned short port, std::size_t readLimit)
    : readLimit_(readLimit) {
  sockaddr_in where;
  std::memset(&where, 0, sizeof where);
  where.sin_family = AF_INET;
  where.sin_port = htons(port);
  where.sin_addr.s_addr = inet_addr(address);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  for (;;) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (readLimit != Unlimited) {
      // A small window, so that the sender's buffers fill soon.
      int size = 4096;
      setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    }
    if (bind(s, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 && listen(s, 8) == 0) {
      listening_ = s;
      break;
    }
    closesocket(s);
    if (std::chrono::steady_clock::now() > giveUp) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  sockaddr_in bound;
  int length = sizeof bound;
  getsockname(listening_, reinterpret_cast<sockaddr*>(&bound), &length);
  port_ = ntohs(bound.sin_port);
  thread_ = std::thread([this] { Run(); });
}

TTestListener::~TTestListener() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  for (SOCKET s : held_) closesocket(s);
  if (listening_ != INVALID_SOCKET) closesocket(listening_);
}

void TTestListener::Run() {
  while (!stop_) {
    if (!Readable(listening_)) continue;
    SOCKET connection = accept(listening_, nullptr, nullptr);
    if (connection == INVALID_SOCKET) continue;
    ++accepted_;
    Serve(connection);
  }
}

void TTestListener::Serve(SOCKET connection) {
  std::string bytes;
  char buffer[65536];
  while (!stop_ && bytes.size() < readLimit_) {
    if (!Readable(connection)) continue;
    int want = static_cast<int>(std::min<std::size_t>(sizeof buffer, readLimit_ - bytes.size()));
    int got = recv(connection, buffer, want, 0);
    if (got <= 0) {
      closesocket(connection);
      std::lock_guard<std::mutex> hold(lock_);
      received_.push_back(std::move(bytes));
      changed_.notify_all();
      return;
    }
    bytes.append(buffer, got);
  }
  // Read enough: leave the connection open and unread, as a receiver that
  // has hung would.
  held_.push_back(connection);
}

std::vector<std::string> TTestListener::Received(std::size_t count, int timeoutMs) {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return received_.size() >= count; });
  return received_;
}

}  // namespace ns::test
