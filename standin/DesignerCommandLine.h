#pragma once
// The designer's command line as callers build it: the registered command
// (a quoted path, maybe followed by switches of its own), then a mode word
// and its keys. Whatever stands before the first mode word is ignored.
//
// CONFIG, the form the program's dump uses: keys glued to their values,
// /F or /S, /N, /P, /DumpIB, /RestoreIB, /Out, case-sensitive. Values are
// not quoted and may hold blanks, so a value runs up to the next
// " /<known key>" or to the end; a " /" followed by anything else belongs to
// the value.
//
// DESIGNER, the platform's own form: the same keys and /UC,
// /DisableStartupDialogs, /DisableStartupMessages, without regard to case.
// A value may follow its key directly or after blanks, and may be enclosed
// in double quotes (a doubled quote inside stands for one); an unquoted
// value runs as in CONFIG. An unknown key or a quote left open is an error.
//
// CREATEINFOBASE: a connection string ("File=<folder>", the value maybe in
// double quotes, pairs separated by ";", the whole string maybe quoted),
// then /Out, /AddInList [name], /DisableStartupDialogs,
// /DisableStartupMessages as in DESIGNER.
#include <optional>
#include <string>

namespace ns::standin {

enum class TDesignerMode { None, Config, Designer, CreateInfobase };

struct TDesignerCommandLine {
  TDesignerMode Mode = TDesignerMode::None;
  bool RegServer = false;    // "/regserver" (without a mode word)
  bool UnregServer = false;  // "/unregserver"
  // CREATEINFOBASE puts the connection string's File= into File and its
  // Srvr= into Server.
  std::optional<std::string> File, Server, User, Password, DumpIB, RestoreIB, Out;
  // Why the line cannot be followed, in the designer's words; empty when it
  // can.
  std::string Error;
};

TDesignerCommandLine ParseDesignerCommandLine(const std::string& commandLine);

}  // namespace ns::standin
