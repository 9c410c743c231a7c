#pragma once
// Where a run keeps its dump, its log and its lock: the Windows temporary
// folder.
#include <string>

namespace ns {

// The temporary folder (with its trailing backslash) followed by `fileName`,
// never cut short. Throws EWin32Error when the system cannot tell the folder.
std::string TempFilePath(const std::string& fileName);

}  // namespace ns
