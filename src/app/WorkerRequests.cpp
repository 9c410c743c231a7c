#include "app/WorkerRequests.h"

namespace ns {

TWorkerRequests::TRequest::TRequest(TWorkerRequests& requests, const TInfobaseLogon& logon)
    : requests_(requests), logon_(logon), connectionString_(BuildConnectionString(logon)) {
  std::lock_guard hold(requests_.lock_);
  requests_.open_ = this;
}

TWorkerRequests::TRequest::~TRequest() {
  std::lock_guard hold(requests_.lock_);
  if (requests_.open_ == this) requests_.open_ = nullptr;
}

const TWorkerRequests::TRequest* TWorkerRequests::Find(std::uintptr_t tag) const {
  std::lock_guard hold(lock_);
  return open_ && open_->Tag() == tag ? open_ : nullptr;
}

}  // namespace ns
