#pragma once
// A task's name is also the name of its files: the dump and the designer's
// log in the temporary folder (<name>.dt, <name>.log) and, when the task
// asks for it, its archive (1C8-yymmdd-<name>.zip). A name Windows cannot
// take as a file name would fail every night with a message about something
// else, so the editor refuses it and the worker stops such a task at once.
#include <string>
#include <string_view>

namespace ns {

// Why `name` cannot name a task's files, as the whole message the editor
// shows and the worker records, for example
//   Наименование задания не годится для имени файла: в нём есть знак «:».
// Empty when the name will do. Refused: the characters \ / : * ? " < > |,
// control characters, a dot or a blank at the end, and the names Windows
// keeps for its devices (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9), also
// with an extension ("nul.txt").
std::string TaskNameFault(std::string_view name);

}  // namespace ns
