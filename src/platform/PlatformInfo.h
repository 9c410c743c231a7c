#pragma once
// Which 1C:Enterprise platform versions are installed, and the command that
// starts each one's designer. Found once at start-up and only read after
// that, by the user-interface thread and the backup worker alike.
#include <string>

namespace ns {

// Platform version codes as tasks store them: 1 is 8.2, 2 is 8.3. Every
// platform operation given another value does nothing and reports failure.
using PlatformVersion = int;
inline constexpr PlatformVersion PlatformVersion82 = 1;
inline constexpr PlatformVersion PlatformVersion83 = 2;

struct TInstalledPlatforms {
  bool Found82 = false;
  bool Found83 = false;
  // The registration's LocalServer32 command exactly as stored: quotes and
  // switches after the path stay, as the designer command line is built on it.
  std::string Executable82;
  std::string Executable83;

  // The found flag of a version; false for an unknown version.
  bool Found(PlatformVersion version) const {
    return version == PlatformVersion82 ? Found82 : version == PlatformVersion83 ? Found83 : false;
  }
  // The executable of a version; empty for one not found or unknown.
  const std::string& Executable(PlatformVersion version) const {
    static const std::string none;
    return version == PlatformVersion82 ? Executable82
         : version == PlatformVersion83 ? Executable83
                                        : none;
  }
};

// The process-wide record, filled by LocateInstalledPlatforms at start-up.
extern TInstalledPlatforms InstalledPlatforms;

}  // namespace ns
