#include "platform/InfobaseAddress.h"

namespace ns {

bool IsFileInfobase(std::string_view base) {
  return base.find(':') != std::string_view::npos || base.find("\\\\") != std::string_view::npos;
}

}  // namespace ns
