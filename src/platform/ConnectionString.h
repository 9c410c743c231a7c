#pragma once
// The connection strings that describe an infobase to the platform's COM
// connector: "File=<folder>" for a file infobase, "Srvr=<server>;Ref=<name>"
// for a server infobase, then the user and the password. No value is
// escaped, so a value holding ";" cannot be expressed.
#include <string>
#include <string_view>

namespace ns {

// An infobase and the user to log on to it with, as a task holds them: the
// address (see InfobaseAddress.h), the user name and the clear password.
struct TInfobaseLogon {
  std::string Base;
  std::string User;
  std::string Password;
};

// The infobase name a server infobase's address holds after its first
// backslash; empty for a file infobase, which no cluster knows of.
std::string ServerInfobaseName(std::string_view base);

// The worker's form, without quotes, for example
//   File=C:\Bases\Trade;Usr=Admin;Pwd=
//   Srvr=srv1;Ref=dept\trade;Usr=Admin;Pwd=
// The user and password parts are always there, also when empty.
std::string BuildConnectionString(const TInfobaseLogon& logon);

// The task editor's form for its test button: the folder of a file infobase
// and the user name in single quotes, for example
//   File='C:\Bases\Trade';Usr='Admin';Pwd=secret
std::string BuildTestConnectionString(std::string_view base, std::string_view user, std::string_view password);

}  // namespace ns
