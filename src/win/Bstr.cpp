#include "win/Bstr.h"

#include <new>

namespace ns {

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string ansi(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), size,
                      nullptr, nullptr);
  return ansi;
}

TBstr TBstr::FromAnsi(std::string_view text) {
  std::wstring wide = AnsiToWide(text);
  BSTR value = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!value) throw std::bad_alloc();
  return TBstr(value);
}

std::string BstrToAnsi(BSTR borrowed) {
  if (!borrowed) return {};
  return WideToAnsi(std::wstring_view(borrowed, SysStringLen(borrowed)));
}

std::string TBstr::Ansi() const { return BstrToAnsi(value_); }

}  // namespace ns
