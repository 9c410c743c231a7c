#pragma once
// Small Win32 helpers shared by the shell and the worker: thread state, the
// temporary folder and starting the designer.
#include <windows.h>

#include <string>

namespace ns {

// True while `thread` is still at work; false for a null handle or a failed
// query. A thread whose work is over (`workOver`) only has to return, so it is
// given up to `returnLimitMs` to do so instead of being looked at once: a
// slow return must not leave a hidden instance behind with nobody left to
// close it. A thread still at its work is looked at once.
bool IsThreadStillWorking(HANDLE thread, bool workOver, DWORD returnLimitMs);

// The Windows temporary folder (with its trailing backslash) followed by
// `fileName`, never cut short. Throws when the system cannot tell the folder.
std::string TempFilePath(const std::string& fileName);

enum class TRunResult {
  Succeeded,    // started, and (when waited for) ended with exit code 0
  NotStarted,   // the command could not be started
  Failed,       // ended with another exit code
  TimedOut,     // still running after the limit; it has been terminated
};

// Starts `commandLine` as a new process (no application name, handles not
// inherited, normal priority) hidden or shown, and with `wait` waits for its
// end, for at most `waitLimitMs` (INFINITE for no limit). A process that
// outlives the limit is terminated, so that it cannot hold the caller — and
// every task after it — for ever. When the wait itself fails the outcome
// counts as success, as there is nothing else to judge by. When the command
// cannot be started, `startError` (if given) receives the system's code.
TRunResult RunAndWait(const std::string& commandLine, bool hide, bool wait,
                      DWORD waitLimitMs = INFINITE, DWORD* startError = nullptr);

}  // namespace ns
