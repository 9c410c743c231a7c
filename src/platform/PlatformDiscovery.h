#pragma once
// Finding the installed platform versions through their COM registration:
// the application ProgID names a class whose LocalServer32 command is the
// platform's executable.
#include <string>

#include "platform/PlatformInfo.h"

namespace ns {

// Looks one version up. On success assigns the LocalServer32 command,
// verbatim, to `executable` and returns true; otherwise (unknown version,
// missing ProgID, class or LocalServer32) returns false and leaves
// `executable` as it was.
bool LocatePlatform(PlatformVersion version, std::string& executable);

// Fills `info` with 8.2 first, then 8.3.
void LocatePlatforms(TInstalledPlatforms& info);

// LocatePlatforms into the process-wide InstalledPlatforms; called once at
// start-up before any other thread reads it.
void LocateInstalledPlatforms();

}  // namespace ns
