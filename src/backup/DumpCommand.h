#pragma once
// The designer's command line for a dump:
//   executable CONFIG /F<base> [/N<user>] [/P<password>] /DumpIB<dump file> /Out<log>
// ("/S" instead of "/F" for a server infobase). Nothing is quoted: the
// designer takes each value up to the next key.
#include <string>
#include <string_view>

namespace ns {

// "/F" (file infobase) or "/S" and the base, " /N" and the user and " /P" and
// the password when they are not empty, then " /DumpIB" and `dumpTarget`.
std::string BuildDumpArguments(std::string_view base, std::string_view user, std::string_view password,
                               std::string_view dumpTarget);

// The arguments the designer is started with: the dump goes to `dumpFile` in
// the temporary folder, never to the archive folder, and the designer writes
// its log to `designerLog`. The dump file is put in while the arguments are
// built, not by replacing the value after "/DumpIB" later, which would land
// inside a password that happens to hold "/DumpIB".
std::string BuildDesignerArguments(std::string_view base, std::string_view user, std::string_view password,
                                   std::string_view dumpFile, std::string_view designerLog);

// The executable exactly as the platform registered it (quotes and switches
// kept), " CONFIG " and the arguments.
std::string DesignerCommandLine(std::string_view executable, std::string_view arguments);

// The restore check's two commands. Paths are quoted (the scratch folder
// lies in the user's temporary folder, whose path may hold blanks) and given
// without a trailing backslash, which would escape the closing quote. No
// dialog may wait for an answer nobody gives.
// Makes an empty file infobase in `folder`, its log in `log`.
std::string CreateInfobaseCommandLine(std::string_view executable, std::string_view folder, std::string_view log);
// Loads `dumpFile` into the file infobase in `folder`, its log in `log`.
std::string RestoreCommandLine(std::string_view executable, std::string_view folder, std::string_view dumpFile,
                               std::string_view log);

}  // namespace ns
