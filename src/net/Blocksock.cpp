#include "net/Blocksock.h"

#include <cstring>

namespace ns {

namespace {

// Raises `operation` with `code` as the error, for failures that Winsock
// reports by result rather than through WSAGetLastError.
[[noreturn]] void Raise(const char* operation, int code) {
  WSASetLastError(code);
  throw EBlockingSocketException(operation);
}

timeval Milliseconds(ULONGLONG ms) {
  timeval time;
  time.tv_sec = static_cast<long>(ms / 1000);
  time.tv_usec = static_cast<long>(ms % 1000 * 1000);
  return time;
}

}  // namespace

void TBlockingSocket::Create(int type) {
  socket_.reset(socket(AF_INET, type, 0));
  if (!socket_) throw EBlockingSocketException("Create");
  // The socket itself never blocks: every wait is a select with a time
  // limit, so neither a computer that is switched off nor a receiver that
  // has stopped reading can hold the caller longer than it allows.
  u_long nonBlocking = 1;
  if (ioctlsocket(socket_.get(), FIONBIO, &nonBlocking) == SOCKET_ERROR) {
    EBlockingSocketException error("Create");
    socket_.reset();
    throw error;
  }
}

void TBlockingSocket::Connect(const sockaddr_in& address, int timeoutSeconds) {
  if (connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return;
  if (WSAGetLastError() != WSAEWOULDBLOCK) throw EBlockingSocketException("Connect");

  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(socket_.get(), &writable);
  FD_SET(socket_.get(), &failed);
  timeval limit = Milliseconds(static_cast<ULONGLONG>(timeoutSeconds) * 1000);
  int ready = select(0, nullptr, &writable, &failed, &limit);
  if (ready == SOCKET_ERROR) throw EBlockingSocketException("Connect");
  if (ready == 0) Raise("Connect", WSAETIMEDOUT);
  // A refused or unreachable peer shows as a failure, or on some stacks as
  // writable with the error pending on the socket.
  int error = 0;
  int length = sizeof error;
  if (getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == SOCKET_ERROR) {
    throw EBlockingSocketException("Connect");
  }
  if (error != 0) Raise("Connect", error);
  if (FD_ISSET(socket_.get(), &failed)) Raise("Connect", WSAECONNREFUSED);
}

int TBlockingSocket::Send(const char* data, int count, int timeoutSeconds) {
  // The limit covers the whole transfer, not only the wait before the first
  // byte: a receiver that takes a little and then stops reading would
  // otherwise hold the sender for as long as the connection lives.
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutSeconds) * 1000;
  int sent = 0;
  while (sent < count) {
    const ULONGLONG now = GetTickCount64();
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(socket_.get(), &writable);
    timeval limit = Milliseconds(deadline > now ? deadline - now : 0);
    int ready = select(0, nullptr, &writable, nullptr, &limit);
    if (ready == SOCKET_ERROR) throw EBlockingSocketException("Send");
    if (ready == 0) Raise("Send timeout", WSAETIMEDOUT);
    int taken = send(socket_.get(), data + sent, count - sent, 0);
    if (taken == SOCKET_ERROR) {
      if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
      throw EBlockingSocketException("Send");
    }
    sent += taken;
  }
  return sent;
}

sockaddr_in TBlockingSocket::GetHostByName(const char* name, unsigned short port) {
  const hostent* host = gethostbyname(name);
  if (!host || host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0]) {
    throw EBlockingSocketException("GetHostByName");
  }
  sockaddr_in address;
  std::memset(&address, 0, sizeof address);
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  std::memcpy(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
  return address;
}

}  // namespace ns
