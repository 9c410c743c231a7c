#pragma once
// The list of computers that receive the reports ("Servers"): rewritten by
// the user-interface thread on every list refresh, copied by the worker when
// it delivers a report.
#include <mutex>
#include <string>

namespace ns {

class TServersText {
 public:
  std::string Get() const {
    std::lock_guard<std::mutex> hold(lock_);
    return text_;
  }
  void Set(std::string text) {
    std::lock_guard<std::mutex> hold(lock_);
    text_ = std::move(text);
  }

 private:
  mutable std::mutex lock_;
  std::string text_;
};

}  // namespace ns
