#include "backup/DumpCommand.h"

#include "platform/InfobaseAddress.h"

namespace ns {

std::string BuildDumpArguments(std::string_view base, std::string_view user, std::string_view password,
                               std::string_view dumpTarget) {
  std::string arguments = IsFileInfobase(base) ? "/F" : "/S";
  arguments += base;
  if (!user.empty()) (arguments += " /N") += user;
  if (!password.empty()) (arguments += " /P") += password;
  (arguments += " /DumpIB") += dumpTarget;
  return arguments;
}

std::string BuildDesignerArguments(std::string_view base, std::string_view user, std::string_view password,
                                   std::string_view dumpFile, std::string_view designerLog) {
  std::string arguments = BuildDumpArguments(base, user, password, dumpFile);
  (arguments += " /Out") += designerLog;
  return arguments;
}

std::string DesignerCommandLine(std::string_view executable, std::string_view arguments) {
  std::string line(executable);
  (line += " CONFIG ") += arguments;
  return line;
}

namespace {

std::string Quoted(std::string_view path) { return "\"" + std::string(path) + "\""; }

}  // namespace

std::string CreateInfobaseCommandLine(std::string_view executable, std::string_view folder, std::string_view log) {
  return std::string(executable) + " CREATEINFOBASE File=" + Quoted(folder) + " /Out " + Quoted(log) +
         " /DisableStartupDialogs";
}

std::string RestoreCommandLine(std::string_view executable, std::string_view folder, std::string_view dumpFile,
                               std::string_view log) {
  return std::string(executable) + " DESIGNER /F" + Quoted(folder) + " /RestoreIB " + Quoted(dumpFile) + " /Out " +
         Quoted(log) + " /DisableStartupDialogs";
}

}  // namespace ns
