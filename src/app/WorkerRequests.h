#pragma once
// The worker's requests for COM work on the user-interface thread. The worker
// sends WM_TEST_CONNECTION or WM_END_SESSIONS to the main window and waits;
// the message's parameters are fixed with its number: the version, and the
// connection string's address. Any process on the desktop can send the same
// numbers to a top-level window, so the window acts only on the request the
// worker has open, found by that address, and ignores every other message of
// those numbers instead of reading through a pointer a stranger chose.
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/ConnectionString.h"

namespace ns {

class TWorkerRequests {
 public:
  // One request, open from construction to destruction: the worker keeps it
  // alive across its SendMessage.
  class TRequest {
   public:
    TRequest(TWorkerRequests& requests, const TInfobaseLogon& logon);
    ~TRequest();
    TRequest(const TRequest&) = delete;
    TRequest& operator=(const TRequest&) = delete;

    // The message parameter that names this request.
    std::uintptr_t Tag() const { return reinterpret_cast<std::uintptr_t>(connectionString_.c_str()); }
    const TInfobaseLogon& Logon() const { return logon_; }
    const std::string& ConnectionString() const { return connectionString_; }

   private:
    TWorkerRequests& requests_;
    TInfobaseLogon logon_;
    std::string connectionString_;
  };

  // The open request that `tag` names; null for any other value.
  const TRequest* Find(std::uintptr_t tag) const;

 private:
  mutable std::mutex lock_;
  const TRequest* open_ = nullptr;
};

}  // namespace ns
