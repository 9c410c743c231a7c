#pragma once
// The connector object, the only class the DLL exposes; every other object
// (agent connection, cluster, working process and its connection, infobase
// description, infobase connection) comes from its methods.
#include <string>

#include "DispatchObject.h"

namespace ns::standin {

// A new connector with one reference, working on the given state file.
TDispatchObject* CreateConnector(const std::string& statePath);

}  // namespace ns::standin
