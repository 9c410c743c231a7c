#include "platform/PlatformInfo.h"

namespace ns {

TInstalledPlatforms InstalledPlatforms;

}  // namespace ns
