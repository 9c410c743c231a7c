#include "platform/PlatformDiscovery.h"

#include <windows.h>

#include "win/Registry.h"

namespace ns {

bool LocatePlatform(PlatformVersion version, std::string& executable) {
  const char* progIdKey = version == PlatformVersion82   ? "V82.Application\\CLSID"
                          : version == PlatformVersion83 ? "V83.Application\\CLSID"
                                                         : nullptr;
  if (!progIdKey) return false;
  try {
    std::string classId;
    if (!ReadRegistryString(HKEY_CLASSES_ROOT, progIdKey, "", classId)) return false;
    std::string command;
    if (!ReadRegistryString(HKEY_CLASSES_ROOT, "CLSID\\" + classId + "\\LocalServer32", "", command)) {
      return false;
    }
    executable = std::move(command);
    return true;
  } catch (...) {
    // Only a failed allocation can get here; a platform that cannot be looked
    // up counts as not installed.
    return false;
  }
}

void LocatePlatforms(TInstalledPlatforms& info) {
  info = TInstalledPlatforms{};
  info.Found82 = LocatePlatform(PlatformVersion82, info.Executable82);
  info.Found83 = LocatePlatform(PlatformVersion83, info.Executable83);
}

void LocateInstalledPlatforms() { LocatePlatforms(InstalledPlatforms); }

}  // namespace ns
