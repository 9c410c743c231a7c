#pragma once
// A Windows Sockets handle owned like every other handle of the program:
// closed (without a shutdown) when its owner lets go of it.
#include <winsock2.h>

#include "win/UniqueHandle.h"

namespace ns {

namespace traits {
struct Socket {
  using Type = SOCKET;
  static Type Empty() { return INVALID_SOCKET; }
  static void Close(Type s) { ::closesocket(s); }
};
}  // namespace traits

using UniqueSocket = UniqueResource<traits::Socket>;

}  // namespace ns
