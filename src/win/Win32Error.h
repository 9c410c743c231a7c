#pragma once
// A failed Win32 call as an exception: the system error code together with
// the system's own text for it, as an administrator would want to read it,
// and the name of the call that failed, for whoever has to find out why.
#include <windows.h>

#include <concepts>
#include <string>

#include "base/Exception.h"

namespace ns {

class EWin32Error : public Exception {
 public:
  EWin32Error(DWORD code, std::string call, const std::string& message)
      : Exception(message), code_(code), call_(std::move(call)) {}
  DWORD Code() const { return code_; }
  // The Win32 function that failed, such as "CreateFileA".
  const std::string& Call() const { return call_; }

 private:
  DWORD code_;
  std::string call_;
};

// The system's text for an error code in the user's language, without the
// trailing line break; empty when the system has none.
std::string SystemErrorText(DWORD code);

// "Системная ошибка. Код: N.", the line errors are reported with.
std::string SystemErrorCodeLine(DWORD code);

// SystemErrorCodeLine and the system's text on the next line.
[[noreturn]] void ThrowWin32Error(DWORD code, const char* call);
[[noreturn]] void ThrowLastError(const char* call);

// What a Win32 call reports success with: BOOL, or a bool the caller made of
// a handle or a comparison. Error codes (LONG, DWORD: 0 on success) are not
// among them, so passing one by mistake does not compile.
template <class T>
concept Win32Success = std::same_as<T, bool> || std::same_as<T, BOOL>;

// Throws the last error of `call` when `ok` is false.
template <Win32Success T>
void CheckWin32(T ok, const char* call) {
  if (!ok) ThrowLastError(call);
}

}  // namespace ns
