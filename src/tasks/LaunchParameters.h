#pragma once
// The one text a task's settings are stored in, the default value of the
// task's registry key, for example
//   8.3*&/Days14/Ssrv01\acc/Nadmin/PA1B2C3/DumpIBD:\Archive
// A header (version, "*" exclusive, "&" task name in the archive name,
// "/Days" and the retention) and then keys of the designer's command line
// with their values. A value runs up to the next "/"; nothing is quoted or
// escaped.
//
// One composer writes the text and one parser reads it, for the editor, the
// list and the worker alike, so that the editor shows exactly what the
// worker will run.
#include <string>
#include <string_view>

#include "tasks/TaskRecord.h"

namespace ns {

// The stored text of a record (the name is not part of it). The user name is
// stored trimmed and keys the password's scrambling; "*" is written only for
// a server infobase; "/Days" only when Days is not 0. Throws EScrambleError
// for a password that cannot be stored.
std::string ComposeLaunchParameters(const TTaskRecord& record);

// The record a stored text holds (without its name). The header is the text
// in front of the infobase key ("/F", or "/S" when there is no "/F"), or, in
// a text without either, in front of its first "/"; the version and the
// marks are read from it, and "/Days" counts only there. The values (trimmed)
// follow their keys anywhere; "/F" and "/S" values are joined, as only one
// of them is ever written. The password is unscrambled: one that is not
// hexadecimal pairs throws EConvertError, or, when `passwordError` is given,
// leaves the stored text in Password and its message in *passwordError, so
// that the editor still opens with every other field.
TTaskRecord ParseLaunchParameters(std::string_view text, std::string* passwordError = nullptr);

// Whether the text names an infobase at all ("/F" or "/S"): without one the
// worker has nothing to dump.
bool NamesInfobase(std::string_view text);

// The editor's Days field as a number: blanks around it and a "+" allowed,
// 0 for an empty field or anything else that is not a whole number.
int RetentionDays(std::string_view text);

// What the editor stores for the fields as typed. A value ends at the next
// "/" in the stored text, so each "/" in a file infobase's address and in
// the archive folder becomes "\": Windows takes both for the same path.
TTaskRecord WithBackslashes(TTaskRecord record);

// The message for a value that would still be cut at a "/" when read back
// (a server's address, a user name), naming its field; empty when every
// value will be read back whole. For a record after WithBackslashes.
std::string SlashFault(const TTaskRecord& record);

// The part of a stored text from the first "/" that begins no key up to
// the next key ("/Backup" in .../DumpIBD:/Backup/NAdmin): what was cut off a
// value that held "/". Empty when every "/" begins a key.
std::string CutValueFragment(std::string_view text);

}  // namespace ns
