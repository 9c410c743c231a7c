#include "win/Win32Error.h"

namespace ns {

std::string SystemErrorText(DWORD code) {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text(buffer ? buffer : "", length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

std::string SystemErrorCodeLine(DWORD code) { return "Системная ошибка. Код: " + std::to_string(code) + "."; }

void ThrowWin32Error(DWORD code, const char* call) {
  throw EWin32Error(code, call, SystemErrorCodeLine(code) + "\r\n" + SystemErrorText(code));
}

void ThrowLastError(const char* call) { ThrowWin32Error(GetLastError(), call); }

}  // namespace ns
