#pragma once
// The application object: its hidden window (the target of the WM_CLOSE that
// ends a hidden instance), the setting that shows the main window when the
// message loop starts, and the message loop itself.
#include <windows.h>

#include <functional>

namespace ns {

class TApplication {
 public:
  explicit TApplication(HINSTANCE instance);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  HINSTANCE Instance() const { return instance_; }
  HWND Handle() const { return handle_; }

  // The window that a WM_CLOSE of the application is passed on to.
  void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }
  bool ShowMainForm = true;

  // Ends the message loop (at once when it has not started yet).
  void Terminate();

  // Shows the main window if ShowMainForm is still on, then dispatches
  // messages until Terminate.
  void Run();

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HINSTANCE instance_;
  HWND handle_ = nullptr;
  HWND mainWindow_ = nullptr;
  bool terminated_ = false;
};

}  // namespace ns
