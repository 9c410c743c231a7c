#pragma once
// What the fuzz targets share: a broken property stops the run with a crash
// that libFuzzer records together with the input, and the input is read as
// text cut into fields.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace ns::fuzz {

inline void Require(bool holds, const char* property) {
  if (!holds) {
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
  }
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The text up to the first `separator` (all of it when there is none); the
// rest is left behind the separator.
inline std::string_view TakeField(std::string_view& rest, char separator) {
  auto end = rest.find(separator);
  std::string_view field = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  return field;
}

}  // namespace ns::fuzz
