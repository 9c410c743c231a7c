#include "win/HiddenProcess.h"

#include "win/UniqueHandle.h"

namespace ns {

TRunResult RunHiddenAndWait(const std::string& commandLine, DWORD waitLimitMs, DWORD* startError) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info = {};
  std::string mutableCommandLine = commandLine;  // CreateProcessA may write into it
  if (!CreateProcessA(nullptr, mutableCommandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &info)) {
    if (startError) *startError = GetLastError();
    return TRunResult::NotStarted;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);

  switch (WaitForSingleObject(process.get(), waitLimitMs)) {
    case WAIT_OBJECT_0: {
      DWORD exitCode = 0;
      if (GetExitCodeProcess(process.get(), &exitCode) && exitCode != 0) return TRunResult::Failed;
      return TRunResult::Succeeded;
    }
    case WAIT_TIMEOUT:
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), 10000);
      return TRunResult::TimedOut;
    default:
      return TRunResult::Succeeded;
  }
}

}  // namespace ns
