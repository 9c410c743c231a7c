#pragma once
// One outgoing TCP connection over Windows Sockets with blocking calls that
// cannot block for ever: connecting and sending are each bounded by a time in
// seconds. Every failure is an EBlockingSocketException that names the
// failing operation and carries the Winsock error code. Windows Sockets is
// started and stopped by the application, not here.
#include <winsock2.h>

#include <string>

#include "base/Exception.h"
#include "win/UniqueSocket.h"

namespace ns {

class EBlockingSocketException : public Exception {
 public:
  // `operation` becomes the message; the error code is WSAGetLastError() at
  // construction, so the exception must be made right after the failing call.
  explicit EBlockingSocketException(const std::string& operation)
      : Exception(operation), errorCode_(WSAGetLastError()) {}
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

class TBlockingSocket {
 public:
  TBlockingSocket() = default;
  virtual ~TBlockingSocket() = default;

  // A new socket of the given type (SOCK_STREAM). Raises "Create".
  void Create(int type);

  // Connects, waiting at most `timeoutSeconds` for the peer to answer.
  // Raises "Connect"; after the time-out with the code WSAETIMEDOUT.
  void Connect(const sockaddr_in& address, int timeoutSeconds);

  // Sends all `count` bytes within `timeoutSeconds` in all, and returns the
  // count. Raises "Send timeout" (code WSAETIMEDOUT) when the peer has not
  // taken them in that time, "Send" on an error of the connection.
  int Send(const char* data, int count, int timeoutSeconds);

  // Closes the socket without a shutdown; does nothing when there is none.
  void CloseSocket() { socket_.reset(); }

  SOCKET Handle() const { return socket_.get(); }

  // The IPv4 address of a computer name or dotted address, with `port`.
  // Raises "GetHostByName".
  static sockaddr_in GetHostByName(const char* name, unsigned short port);

 private:
  UniqueSocket socket_;
};

}  // namespace ns
