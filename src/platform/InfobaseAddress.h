#pragma once
// An infobase's address as tasks store it: a file infobase's folder, or a
// server name (with the cluster's port, if it is not the usual one) and an
// infobase name joined by a backslash. Everything that speaks to the
// platform (the designer's command line, the connection strings, the end of
// sessions) and the task record itself tell the two apart by this one rule.
#include <initializer_list>
#include <string_view>

namespace ns {

// True when the address names a file infobase: it begins with a drive
// letter and a colon (D:\Bases\Trade), or holds two backslashes in a row
// anywhere (a UNC path, \\fs01\bases\trade). Anything else names a server,
// with or without a port: srv1\trade, srv1:1641\trade.
bool IsFileInfobase(std::string_view base);

// The computer a server infobase lives on: the address up to its first
// backslash, without the port ("srv1" for srv1:1641\trade; an IPv6 address
// keeps its brackets). Empty for a file infobase.
std::string_view InfobaseServerHost(std::string_view base);

// Whether a server's name stands for this computer: "localhost", the
// loopback addresses, "." or one of `ownNames` (the computer's names),
// letter case ignored.
bool NamesThisComputer(std::string_view host, std::initializer_list<std::string_view> ownNames);

}  // namespace ns
