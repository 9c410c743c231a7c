#pragma once
// The application object: its hidden window (the target of the WM_CLOSE that
// ends a hidden instance), the setting that shows the main window when the
// message loop starts, and the message loop itself.
#include <windows.h>

#include "win/Form.h"

namespace ns {

class TApplication : public TForm {
 public:
  explicit TApplication(HINSTANCE instance);

  HINSTANCE Instance() const { return instance_; }

  // The window that a WM_CLOSE of the application is passed on to.
  void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }
  // Whether Run shows the main window (at first it does): start-up turns it
  // off for a start that runs the scheduler's tasks or hands over to another
  // instance.
  void SetShowMainWindow(bool show) { showMainWindow_ = show; }

  // Ends the message loop (at once when it has not started yet).
  void Terminate();

  // Shows the main window unless start-up turned that off, then dispatches
  // messages until Terminate.
  void Run();

 protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HINSTANCE instance_;
  HWND mainWindow_ = nullptr;
  bool showMainWindow_ = true;
  bool terminated_ = false;
};

}  // namespace ns
