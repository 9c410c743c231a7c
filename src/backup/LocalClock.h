#pragma once
// The system clock in local time, as archive names and recorded times use it.
#include "backup/DateTime.h"

namespace ns {

TDateTime LocalNow();

}  // namespace ns
