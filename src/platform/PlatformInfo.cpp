#include "platform/PlatformInfo.h"

namespace ns {

TPlatrorm1CInfo Platform1CInfo;

}  // namespace ns
