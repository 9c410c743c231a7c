#include "base/TextFunctions.h"

namespace ns {

namespace {

// Position just past the first occurrence of the key, or npos.
std::string_view::size_type ValueStart(std::string_view source, std::string_view key) {
  if (key.empty()) return std::string_view::npos;
  auto at = source.find(key);
  return at == std::string_view::npos ? at : at + key.size();
}

}  // namespace

std::string ValueAfterKey(std::string_view source, std::string_view key, std::string_view stops) {
  auto start = ValueStart(source, key);
  if (start == std::string_view::npos) return {};
  auto end = source.find_first_of(stops, start);
  return std::string(source.substr(start, end == std::string_view::npos ? end : end - start));
}

std::string Trim(std::string_view text) {
  auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace ns
