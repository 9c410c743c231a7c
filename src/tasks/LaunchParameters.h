#pragma once
// A task's settings and the one text they are stored in, the default value of
// the task's registry key, for example
//   8.3*&/Days14/Ssrv01\acc/Nadmin/PA1B2C3/DumpIBD:\Archive
// A prefix of markers (version, "*" exclusive, "&" task name in the archive
// name) and then keys of the designer's command line with their values. A
// value runs up to the next "/"; nothing is quoted or escaped.
#include <string>
#include <string_view>

namespace ns {

// The infobase and archive values of a launch parameter string: the values
// after "/F" and "/S" joined, "/N", "/P" unscrambled with the user name, and
// "/DumpIB", each trimmed. Throws EConvertError when the stored password is
// not hexadecimal pairs.
struct TTaskParameters {
  std::string Base;
  std::string User;
  std::string Password;  // clear text
  std::string DumpIB;
};
TTaskParameters SplitTaskParameters(std::string_view text);

// One task as the task editor shows it. `Version` is 1 for platform 8.2 and
// 2 for 8.3; `Days` is the editor's text.
struct TTaskRecord {
  std::string TaskName;
  int Version = 1;
  bool Exclusively = false;
  bool AddName = false;
  std::string Days;
  std::string Base;
  std::string User;
  std::string Password;  // clear text
  std::string DumpIB;    // the archive folder
};

// The stored text of a record (TaskName is not part of it). The user name is
// stored trimmed and keys the password's scrambling; "*" is written only for
// a server infobase; "/Days" only when Days reads as a number other than 0.
// Throws EScrambleError for a password that cannot be stored.
std::string ComposeLaunchParameters(const TTaskRecord& record);

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

// The task editor's reading: markers from the text in front of the first
// "/", the values (trimmed) after their keys, the password unscrambled.
// A stored password that is not hexadecimal pairs throws EConvertError, or,
// when `passwordError` is given, leaves the stored text in Password and its
// message in *passwordError: the editor still opens with every other field
// and shows the error.
TTaskRecord ParseLaunchParameters(std::string_view text, std::string* passwordError = nullptr);

// The backup worker's reading of the same text.
struct TWorkerParameters {
  std::string Header;  // the text in front of "/F" (or "/S"), trimmed
  int Version = 1;
  bool Exclusively = false;
  bool AddName = false;
  int Days = 0;  // 0 when "/Days" is missing or not a number
  std::string Base;
  std::string User;
  std::string Password;  // clear text
  std::string DumpIB;
};

// Fills `parameters` and returns true; false (and `parameters` untouched)
// when the text holds neither "/F" nor "/S". Throws EConvertError as the
// editor's reading does.
//
// For every text ComposeLaunchParameters writes, both readings agree. On
// hand-made texts markers after "/Days" count for the worker only, and a
// "/Days" after the infobase key for the editor only.
bool ReadWorkerParameters(std::string_view text, TWorkerParameters& parameters);

}  // namespace ns
