#pragma once
// A refusal of the stand-in platform: its text is what the real platform
// would put in front of a person (the designer's log, the description of a
// failed automation call), in Windows-1251.
#include "base/Exception.h"

namespace ns::standin {

class EStandinError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace ns::standin
