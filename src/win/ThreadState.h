#pragma once
// Whether a thread is still running, for the window that must not close
// while its worker runs.
#include <windows.h>

namespace ns {

// True while `thread` runs; false for a null handle or a failed query. The
// thread is first given up to `returnWaitMs` to end: a thread whose work is
// over only has to return, and a slow return must not leave a hidden
// instance behind with nobody left to close it. With 0 it is looked at once.
bool IsThreadRunning(HANDLE thread, DWORD returnWaitMs);

}  // namespace ns
