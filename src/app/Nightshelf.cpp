// Entry point of Nightshelf.exe.
#include <windows.h>
#include <objbase.h>

#include <exception>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Main.h"
#include "backup/StartupFailure.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // All COM work of the program (connection test, ending sessions) runs on
  // this thread, in a single-threaded apartment.
  HRESULT com = CoInitialize(nullptr);
  int exitCode = 0;
  std::vector<std::string> arguments = ns::SplitCommandLine(GetCommandLineA());
  try {
    ns::TApplication application(instance);
    ns::TFormMain mainWindow(application);
    mainWindow.StartUp(arguments);
    application.Run();
    mainWindow.ShutDown();
    exitCode = mainWindow.ExitCode();
  } catch (const std::exception& error) {
    exitCode = ns::ExitTaskFailed;
    if (arguments.empty()) {
      MessageBoxA(nullptr, error.what(), "Nightshelf", MB_ICONERROR | MB_OK);
    } else {
      // A scheduled start shows no box (nobody may be there to close it):
      // the tasks record the failure, the exit code tells the scheduler.
      try {
        ns::RecordStartupFailure(arguments, ns::StartupFailureMessage(error), "");
      } catch (const std::exception&) {
      }
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
