#pragma once
// A task's report as it travels to the listed computers: one TCP message of a
// 20-byte header and the text.
//
//   offset 0   4 bytes   body length, little-endian, the terminating NUL included
//   offset 4  16 bytes   sender: the computer name, NUL-terminated (at most 15 characters)
//   offset 20            body: the report text and one NUL
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

inline constexpr std::size_t ReportHeaderSize = 20;
inline constexpr std::size_t SenderNameSize = 16;

// Takes the next entry off a ";"-separated list: the characters up to the
// next ";" (which is removed too). True when the entry is not empty, so the
// first empty entry ends the list: "a;;b" yields a only, ";a" nothing.
bool NextListEntry(std::string& remaining, std::string& entry);

// The computers a report goes to: the "Servers" text without any blanks
// (code 32), taken apart with NextListEntry.
std::vector<std::string> ReportRecipients(std::string_view serversText);

// "Протокол выгрузки " + task name + CR LF + log.
std::string ReportText(std::string_view taskName, std::string_view log);

// The header for a report text. A computer name longer than the field holds
// is cut to 15 characters; an empty one (the name could not be had) leaves
// the field all zero.
std::string ReportHeader(std::string_view reportText, std::string_view computerName);

// The text and its terminating NUL.
std::string ReportBody(std::string_view reportText);

}  // namespace ns
