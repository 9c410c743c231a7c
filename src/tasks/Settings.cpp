#include "tasks/Settings.h"

#include <charconv>

#include "base/TextFunctions.h"

namespace ns {

unsigned long ParseDesignerTimeoutSeconds(std::string_view text) {
  std::string digits = Trim(text);
  unsigned long seconds = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), seconds);
  bool whole = error == std::errc() && end == digits.data() + digits.size() && !digits.empty() &&
               digits.front() >= '0' && digits.front() <= '9';
  if (!whole || seconds == 0 || seconds > MaxDesignerTimeoutSeconds) return DefaultDesignerTimeoutSeconds;
  return seconds;
}

}  // namespace ns
