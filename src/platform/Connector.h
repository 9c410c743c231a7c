#pragma once
// The platform's COM connector: its creation by version and the connection
// test. Every call here must run on the thread that initialised COM (the
// main thread).
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "platform/PlatformInfo.h"

#include "win/ComPtr.h"

namespace ns {

// Creates the connector of platform 8.2 (version 1) or 8.3 (version 2) into
// `connector` and returns true; returns false and creates nothing for any
// other version. Throws EComError with the system's message when the
// connector is not registered or cannot be created.
bool CreateConnector(TComPtr<IDispatch>& connector, PlatformVersion version);

struct TConnectionOutcome {
  bool Opened = false;
  // Why it did not open, as the connector or the system said it; empty when
  // it opened, and for a version that has no connector.
  std::string Error;
};

// Opens a connection with `connectionString` through the connector of
// `version` and closes it again. Shows nothing: the editor tells the outcome
// to the administrator, the worker writes it into the task's log.
TConnectionOutcome TestConnection(const std::string& connectionString, PlatformVersion version);

}  // namespace ns
