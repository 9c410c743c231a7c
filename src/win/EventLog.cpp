#include "win/EventLog.h"

namespace ns {

namespace {

// The program's text is Windows-1251 whatever the computer's ANSI code page
// is; a server set up for English would turn the Cyrillic of a task's name
// and log into other letters if the conversion went through it.
constexpr UINT TextCodePage = 1251;

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  int size = ::MultiByteToWideChar(TextCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(size > 0 ? size : 0, L'\0');
  if (size > 0) {
    ::MultiByteToWideChar(TextCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  }
  return wide;
}

}  // namespace

TEventSource::TEventSource(std::string_view name) noexcept {
  try {
    handle_.reset(::RegisterEventSourceW(nullptr, Wide(name).c_str()));
  } catch (...) {
    // Out of memory for the name: the source stays closed.
  }
}

bool TEventSource::Report(TEventType type, DWORD id, const std::vector<std::string>& strings) noexcept {
  if (!handle_ || strings.size() > 0xFFFF) return false;
  try {
    std::vector<std::wstring> wide;
    wide.reserve(strings.size());
    for (const std::string& text : strings) wide.push_back(Wide(text));
    std::vector<LPCWSTR> pointers;
    pointers.reserve(wide.size());
    for (const std::wstring& text : wide) pointers.push_back(text.c_str());
    return ::ReportEventW(handle_.get(), static_cast<WORD>(type), 0, id, nullptr, static_cast<WORD>(pointers.size()),
                          0, pointers.empty() ? nullptr : pointers.data(), nullptr) != FALSE;
  } catch (...) {
    return false;
  }
}

}  // namespace ns
