#pragma once
// Entry names between the program's own form (ANSI code page, backslashes)
// and the archive's. A name goes into the archive in the OEM code page, as
// archivers of the MS-DOS tradition expect it, when that page holds every
// character of it; otherwise in UTF-8 with the flag that says so, as Info-ZIP
// and 7-Zip write such names. A name is matched against another by what it
// says, not by its bytes, so "Бух «А».dt" in UTF-8 is never taken for
// "Бух <А>.dt", nor for a name whose characters the OEM page merely
// resembles.
#include <cstdint>
#include <string>
#include <string_view>

#include "zip/ZipFormat.h"

namespace ns {

struct TStoredName {
  std::string bytes;   // forward slashes; OEM code page, or UTF-8
  uint16_t flags = 0;  // zipformat::kFlagUtf8Name for UTF-8
};

// How the archive stores the name `name` (ANSI code page, either slash).
TStoredName StoreEntryName(std::string_view name);

// A stored name in the program's own form: ANSI code page, backslashes.
std::string DisplayEntryName(std::string_view stored, uint16_t flags);

// What two names are compared by: the name in UTF-8, ASCII letters A-Z
// folded to lower case, every other character exactly.
std::string EntryNameKey(std::string_view stored, uint16_t flags);
inline std::string EntryNameKey(const TZipEntry& entry) { return EntryNameKey(entry.name, entry.flags); }
inline std::string EntryNameKey(const TStoredName& name) { return EntryNameKey(name.bytes, name.flags); }

}  // namespace ns
