#pragma once
// Where an installed copy of the stand-in keeps its settings: the file
// "standin.ini" beside its executable and its connector, written by the
// installer. It names the platform version this copy plays and the one state
// file that every copy of the machine (both versions, both bitnesses) shares.
#include <windows.h>

#include <string>

namespace ns::standin {

inline constexpr const char* kInstallationFileName = "standin.ini";

struct TInstallation {
  std::string Version;    // "8.2" or "8.3"
  std::string BinDir;     // the module's folder, with a trailing backslash
  std::string StatePath;  // the shared state file
};

// Reads the settings beside `module` (nullptr: the executable). Throws
// EStandinError when they are missing or name an unknown version.
TInstallation LoadInstallation(HMODULE module);

// The module's own full path.
std::string ModulePath(HMODULE module);

}  // namespace ns::standin
