#pragma once
// A failed Win32 call as an exception: the system error code together with
// the system's own text for it, as an administrator would want to read it.
#include <windows.h>

#include <string>

#include "platform/Exception.h"

namespace ns {

class EWin32Error : public Exception {
 public:
  EWin32Error(DWORD code, const std::string& message) : Exception(message), code_(code) {}
  DWORD Code() const { return code_; }

 private:
  DWORD code_;
};

// The system's text for an error code in the user's language, without the
// trailing line break; empty when the system has none.
std::string SystemErrorText(DWORD code);

// "Системная ошибка. Код: N." and the system's text on the next line.
[[noreturn]] void ThrowWin32Error(DWORD code);
[[noreturn]] void ThrowLastError();

// Throws the last error when `ok` is false; returns `ok` otherwise. Takes a
// bool so that an error code (0 on success) cannot be passed by mistake.
inline void CheckWin32(bool ok) {
  if (!ok) ThrowLastError();
}

}  // namespace ns
