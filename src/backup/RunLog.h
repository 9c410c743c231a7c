#pragma once
// The recorded outcome of a run: the designer's log as the program stores and
// sends it, and the time of recording.
#include <string>
#include <string_view>

#include "backup/DateTime.h"

namespace ns {

// The designer's log file, read as raw bytes, rebuilt as lines that each end
// with CR LF, the last one included. A line ends at CR, LF or CR LF; reading
// stops at the first NUL byte. An empty file gives the empty text.
std::string RebuildLogText(std::string_view bytes);

// "dd.mm.yyyy hh:mm:ss", the form of the recorded "StateDateTime".
std::string FormatStateDateTime(const TDateTime& time);

}  // namespace ns
