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

// Opens a connection with `connectionString` through the connector of
// `version` and closes it again; true when it opened. With `show` the
// outcome is shown in a message box titled `caption`; without it nothing is
// ever shown, so the backup worker's silent test cannot stop on a box.
bool TestConnection(const std::string& connectionString, const std::string& caption, PlatformVersion version,
                    bool show);

}  // namespace ns
