#include "backup/RunLog.h"

#include <cstdio>

namespace ns {

std::string RebuildLogText(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 16);
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = bytes.size();
    (text += bytes.substr(at, end - at)) += "\r\n";
    at = end;
    if (at < bytes.size() && bytes[at] == '\r') ++at;
    if (at < bytes.size() && bytes[at] == '\n') ++at;
  }
  return text;
}

std::string FormatStateDateTime(const TDateTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", time.Date.Day, time.Date.Month,
                time.Date.Year, time.Hour, time.Minute, time.Second);
  return text;
}

}  // namespace ns
