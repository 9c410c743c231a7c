#pragma once
// The program's own settings, string values of the task store's key beside
// the tasks, parsed here so that every text an administrator may type reads
// the same way.
#include <string_view>

namespace ns {

// How long the designer may take over one dump before it is stopped: a dump
// of a large infobase takes hours, but a designer waiting for input in its
// hidden window would otherwise hold every later task and keep a scheduled
// instance alive until the next night. "DesignerTimeout" (seconds) overrides
// it.
inline constexpr unsigned long DefaultDesignerTimeoutSeconds = 12 * 60 * 60;
// A longer limit than a week is surely a typing error; it also keeps the
// limit in milliseconds within 32 bits.
inline constexpr unsigned long MaxDesignerTimeoutSeconds = 7 * 24 * 60 * 60;

// The designer limit in seconds for the text of "DesignerTimeout": a whole
// decimal number from 1 to the maximum, blanks around it allowed. Anything
// else (empty, 0, a sign, trailing letters, too large) gives the default.
unsigned long ParseDesignerTimeoutSeconds(std::string_view text);

}  // namespace ns
