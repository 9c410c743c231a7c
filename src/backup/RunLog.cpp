#include "backup/RunLog.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

#include "base/Unicode1251.h"
#include "zip/FileSystem.h"

namespace ns {

namespace {

bool StartsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

bool HoldsUpperHalf(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

std::string UpToNul(std::string text) {
  text.resize(std::min(text.size(), text.find('\0')));
  return text;
}

}  // namespace

std::string LogTextAs1251(std::string_view bytes) {
  using namespace std::string_view_literals;
  if (StartsWith(bytes, "\xFF\xFE"sv)) return UpToNul(Utf16To1251(bytes.substr(2), false));
  if (StartsWith(bytes, "\xFE\xFF"sv)) return UpToNul(Utf16To1251(bytes.substr(2), true));
  if (StartsWith(bytes, "\xEF\xBB\xBF"sv)) return UpToNul(Utf8To1251(bytes.substr(3)));
  bytes = bytes.substr(0, bytes.find('\0'));
  // Windows-1251 text of any length hardly ever forms valid UTF-8 (its
  // letters would have to alternate with punctuation in just the right
  // way), so valid UTF-8 with bytes above ASCII is taken for UTF-8.
  if (HoldsUpperHalf(bytes) && IsValidUtf8(bytes)) return Utf8To1251(bytes);
  return std::string(bytes);
}

std::string RebuildLogText(std::string_view raw) {
  std::string decoded = LogTextAs1251(raw);
  std::string_view bytes = decoded;
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

std::optional<std::string> ReadDesignerLog(const std::string& path) {
  try {
    std::unique_ptr<TFile> file = SystemFileSystem().OpenRead(path);
    std::string bytes;
    uint8_t buffer[65536];
    while (size_t got = file->Read(buffer, sizeof buffer)) bytes.append(reinterpret_cast<char*>(buffer), got);
    return RebuildLogText(bytes);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string FormatStateDateTime(const TDateTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", time.Date.Day, time.Date.Month,
                time.Date.Year, time.Hour, time.Minute, time.Second);
  return text;
}

}  // namespace ns
