#pragma once
// The designer's command line as callers build it: the registered command
// (a quoted path, maybe followed by switches of its own), then " CONFIG ",
// then keys glued to their values: /F or /S, /N, /P, /DumpIB, /Out. Values
// are not quoted and may hold blanks, so a value runs up to the next
// " /<known key>" or to the end; a " /" followed by anything else belongs to
// the value.
#include <optional>
#include <string>

namespace ns::standin {

struct TDesignerCommandLine {
  bool Config = false;       // batch mode: " CONFIG " was given
  bool RegServer = false;    // "/regserver" (before any CONFIG)
  bool UnregServer = false;  // "/unregserver"
  std::optional<std::string> File, Server, User, Password, DumpIB, Out;
};

TDesignerCommandLine ParseDesignerCommandLine(const std::string& commandLine);

}  // namespace ns::standin
