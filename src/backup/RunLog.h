#pragma once
// The recorded outcome of a run: the designer's log as the program stores and
// sends it, and the time of recording.
#include <optional>
#include <string>
#include <string_view>

#include "backup/DateTime.h"

namespace ns {

// The designer's log file as Windows-1251 text, up to its first NUL
// character. A log that begins with a UTF-16 byte-order mark (either byte
// order) or a UTF-8 one, or that is valid UTF-8 holding bytes above ASCII,
// is converted, '?' standing for what the code page lacks; anything else is
// Windows-1251 already and comes back byte for byte.
std::string LogTextAs1251(std::string_view bytes);

// The designer's log file, read as raw bytes, in Windows-1251
// (LogTextAs1251) and rebuilt as lines that each end with CR LF, the last
// one included. A line ends at CR, LF or CR LF; reading stops at the first
// NUL. An empty file gives the empty text.
std::string RebuildLogText(std::string_view bytes);

// The designer's log file at `path`, read whole and rebuilt as RebuildLogText
// does; none when it cannot be opened or read, for instance because the
// designer never started and never wrote it, or still holds it open.
std::optional<std::string> ReadDesignerLog(const std::string& path);

// "dd.mm.yyyy hh:mm:ss", the form of the recorded "StateDateTime".
std::string FormatStateDateTime(const TDateTime& time);

}  // namespace ns
