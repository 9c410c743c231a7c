#pragma once
// A failed COM or automation call as an exception. Its message is what an
// administrator can act on: the automation object's own description of the
// error when it raised one, otherwise the system's text for the HRESULT. The
// name of the failed call travels along for whoever has to find out why.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

#include "base/Exception.h"

namespace ns {

class EComError : public Exception {
 public:
  EComError(HRESULT code, std::string call, const std::string& message)
      : Exception(message), code_(code), call_(std::move(call)) {}
  HRESULT Code() const { return code_; }
  // The interface method or automation member that failed, such as
  // "CoCreateInstance" or "Connect".
  const std::string& Call() const { return call_; }

 private:
  HRESULT code_;
  std::string call_;
};

// The system's text for `code`; when the system has none, the code itself
// in hexadecimal so that the message is never empty.
std::string ComErrorText(HRESULT code);

[[noreturn]] void ThrowComError(HRESULT code, const char* call);

// For a failed IDispatch::Invoke: with DISP_E_EXCEPTION the message is the
// description in `info` (filled in first when the object defers it), and the
// HRESULT is the one the object reported there. Frees the strings in `info`.
// `member` is the automation member that was called.
[[noreturn]] void ThrowInvokeError(HRESULT code, EXCEPINFO& info, std::string_view member);

// Throws unless `code` reports success.
inline void CheckCom(HRESULT code, const char* call) {
  if (FAILED(code)) ThrowComError(code, call);
}

}  // namespace ns
