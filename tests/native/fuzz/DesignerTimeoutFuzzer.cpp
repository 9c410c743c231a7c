// libFuzzer target: the designer limit read from the registry text. Whatever
// the text, the limit lies within 1 second and the maximum; it is the
// number the text spells when the text, blanks and control characters
// around it aside, is nothing but decimal digits for a value within those
// bounds, and the default otherwise.
#include <algorithm>

#include "FuzzInput.h"
#include "tasks/Settings.h"

namespace {

// The number spelt by nothing but decimal digits (leading zeros allowed),
// capped just above the maximum; 0 for anything else.
unsigned long DigitsValue(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  unsigned long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = std::min(value * 10 + static_cast<unsigned long>(c - '0'), ns::MaxDesignerTimeoutSeconds + 1);
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = ns::fuzz::AsText(data, size);
  const unsigned long seconds = ns::ParseDesignerTimeoutSeconds(text);
  ns::fuzz::Require(seconds >= 1 && seconds <= ns::MaxDesignerTimeoutSeconds, "limit out of bounds");
  const unsigned long spelt = DigitsValue(text);
  const bool valid = spelt >= 1 && spelt <= ns::MaxDesignerTimeoutSeconds;
  ns::fuzz::Require(seconds == (valid ? spelt : ns::DefaultDesignerTimeoutSeconds), "limit differs from the text");
  return 0;
}
