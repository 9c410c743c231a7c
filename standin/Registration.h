#pragma once
// COM registration in HKEY_CLASSES_ROOT, in the registry view of the calling
// module's bitness (a 32-bit module on 64-bit Windows writes its class keys
// into the 32-bit view by itself; ProgID keys are shared by both views).
#include <string>

#include "StandinIds.h"

namespace ns::standin {

// "V8x.Application" with its CLSID and a LocalServer32 command: the quoted
// executable path followed by a switch, as real installations register it.
void RegisterDesigner(const TVersionIds& ids, const std::string& executablePath);
void UnregisterDesigner(const TVersionIds& ids);

// "V8x.COMConnector" as an in-process server.
void RegisterConnector(const TVersionIds& ids, const std::string& dllPath);
void UnregisterConnector(const TVersionIds& ids);

}  // namespace ns::standin
