#pragma once
// An infobase's address as tasks store it: a file infobase's folder, or a
// server name and an infobase name joined by a backslash. Everything that
// speaks to the platform (the designer's command line, the connection
// strings) and the task record itself tell the two apart by this one rule.
#include <string_view>

namespace ns {

// True when the address names a file infobase: it holds ":" or two
// backslashes in a row (a drive path, a UNC path).
bool IsFileInfobase(std::string_view base);

}  // namespace ns
