#pragma once
// Reading and writing one string value of a registry key in a single call,
// for callers that need nothing else of the key.
#include <windows.h>

#include <string>

namespace ns {

// Reads the value `valueName` (empty: the default value) of root\subKey as
// text, whatever its registry type: its data up to the first NUL, or all of
// it when it holds none. On failure (key or value missing, unreadable) returns
// false and leaves `out` as it was.
bool ReadRegistryString(HKEY root, const std::string& subKey, const std::string& valueName,
                        std::string& out);

// Stores `text` as the REG_SZ value `valueName` (empty: the default value) of
// root\subKey, creating the key when it is missing. True when it was stored.
bool WriteRegistryString(HKEY root, const std::string& subKey, const std::string& valueName,
                         const std::string& text);

}  // namespace ns
