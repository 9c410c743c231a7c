#pragma once
// Reads a connection string ("File=...;Usr=...;Pwd=..." or
// "Srvr=...;Ref=...;Usr=...;Pwd=...") into an infobase address and the
// credentials. Keys are not case-sensitive; a value may be enclosed in
// single or double quotes; a value runs to the next ";".
#include <string>

#include "PlatformState.h"

namespace ns::standin {

struct TConnectionString {
  TInfobaseAddress Address;
  std::string User;
  std::string Password;
};

// Throws EStandinError when the text names no infobase.
TConnectionString ParseConnectionString(const std::string& text);

}  // namespace ns::standin
