#include "win/ThreadState.h"

namespace ns {

bool IsThreadRunning(HANDLE thread, DWORD returnWaitMs) {
  if (thread == nullptr) return false;
  if (returnWaitMs != 0) WaitForSingleObject(thread, returnWaitMs);
  DWORD exitCode = 0;
  return GetExitCodeThread(thread, &exitCode) && exitCode == STILL_ACTIVE;
}

}  // namespace ns
