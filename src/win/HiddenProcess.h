#pragma once
// Running a program without a window and waiting for its end, as the
// designer is run: nobody is there to answer it.
#include <windows.h>

#include <string>

namespace ns {

enum class TRunResult {
  Succeeded,   // ended with exit code 0
  NotStarted,  // the command could not be started
  Failed,      // ended with another exit code
  TimedOut,    // still running after the limit; it has been terminated
};

// Starts `commandLine` as a new process (no application name, handles not
// inherited, normal priority, its window hidden) and waits for its end, for
// at most `waitLimitMs` (INFINITE for no limit). A process that outlives the
// limit is terminated, so that it cannot hold the caller — and every task
// after it — for ever. When the wait itself fails the outcome counts as
// success, as there is nothing else to judge by. When the command cannot be
// started, `startError` (if given) receives the system's code.
TRunResult RunHiddenAndWait(const std::string& commandLine, DWORD waitLimitMs, DWORD* startError = nullptr);

}  // namespace ns
