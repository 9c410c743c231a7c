// Entry point of Nightshelf.exe.
#include <windows.h>
#include <objbase.h>

#include <exception>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // All COM work of the program (connection test, ending sessions) runs on
  // this thread, in a single-threaded apartment.
  HRESULT com = CoInitialize(nullptr);
  int exitCode = 0;
  try {
    ns::TApplication application(instance);
    ns::TFormMain form(application);
    std::vector<std::string> arguments = ns::SplitCommandLine(GetCommandLineA());
    form.FormCreate(arguments);
    application.Run();
    form.FormDestroy();
    exitCode = form.ExitCode();
  } catch (const std::exception& error) {
    MessageBoxA(nullptr, error.what(), "Nightshelf", MB_ICONERROR | MB_OK);
    exitCode = ns::ExitTaskFailed;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
