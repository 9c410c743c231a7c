#include "backup/LocalClock.h"

#include <windows.h>

namespace ns {

TDateTime LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  TDateTime time;
  time.Date = {now.wYear, now.wMonth, now.wDay};
  time.Hour = now.wHour;
  time.Minute = now.wMinute;
  time.Second = now.wSecond;
  return time;
}

}  // namespace ns
