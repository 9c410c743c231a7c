#pragma once
// A failed COM or automation call as an exception. Its message is what an
// administrator can act on: the automation object's own description of the
// error when it raised one, otherwise the system's text for the HRESULT.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "platform/Exception.h"

namespace ns {

class EComError : public Exception {
 public:
  EComError(HRESULT code, const std::string& message) : Exception(message), code_(code) {}
  HRESULT Code() const { return code_; }

 private:
  HRESULT code_;
};

// The system's text for `code`; when the system has none, the code itself
// in hexadecimal so that the message is never empty.
std::string ComErrorText(HRESULT code);

[[noreturn]] void ThrowComError(HRESULT code);

// For a failed IDispatch::Invoke: with DISP_E_EXCEPTION the message is the
// description in `info` (filled in first when the object defers it), and the
// HRESULT is the one the object reported there. Frees the strings in `info`.
[[noreturn]] void ThrowInvokeError(HRESULT code, EXCEPINFO& info);

// Throws unless `code` reports success.
inline void CheckCom(HRESULT code) {
  if (FAILED(code)) ThrowComError(code);
}

}  // namespace ns
