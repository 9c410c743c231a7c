#include "platform/Addition.h"

#include "win/UniqueHandle.h"
#include "win/Win32Error.h"

namespace ns {

bool IsThreadStillWorking(HANDLE thread, bool workOver, DWORD returnLimitMs) {
  if (thread == nullptr) return false;
  if (workOver) WaitForSingleObject(thread, returnLimitMs);
  DWORD exitCode = 0;
  return GetExitCodeThread(thread, &exitCode) && exitCode == STILL_ACTIVE;
}

std::string TempFilePath(const std::string& fileName) {
  // Sized by asking: a folder longer than a buffer chosen here must not
  // shrink to nothing and leave a bare name, which the designer would
  // resolve against its own current folder. Its full length lets the
  // worker refuse a path too long for the system instead.
  std::string folder(GetTempPathA(0, nullptr), '\0');
  DWORD length = GetTempPathA(static_cast<DWORD>(folder.size()), folder.data());
  if (length == 0 || length >= folder.size()) ThrowLastError("GetTempPathA");
  folder.resize(length);
  return folder + fileName;
}

TRunResult RunAndWait(const std::string& commandLine, bool hide, bool wait, DWORD waitLimitMs,
                      DWORD* startError) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
  startup.wShowWindow = hide ? SW_HIDE : SW_SHOWNORMAL;
  PROCESS_INFORMATION info = {};
  std::string mutableCommandLine = commandLine;  // CreateProcessA may write into it
  if (!CreateProcessA(nullptr, mutableCommandLine.data(), nullptr, nullptr, FALSE,
                      NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info)) {
    if (startError) *startError = GetLastError();
    return TRunResult::NotStarted;
  }
  UniqueHandle process(info.hProcess);
  CloseHandle(info.hThread);
  if (!wait) return TRunResult::Succeeded;

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
