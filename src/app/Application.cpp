#include "app/Application.h"

namespace ns {

TApplication::TApplication(HINSTANCE instance) : instance_(instance) {
  // A hidden top-level window, not a message-only one: other programs and
  // the task bar see the application through it.
  CreateForm({.ClassName = "TApplication", .Caption = "Nightshelf", .Style = WS_POPUP});
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::Run() {
  if (terminated_) return;
  if (showMainWindow_ && mainWindow_) {
    ShowWindow(mainWindow_, SW_SHOW);
    SetForegroundWindow(mainWindow_);
  }
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TForm::PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

LRESULT TApplication::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    // Closing the application means closing its main window, whose close
    // handling decides whether the program really ends.
    if (mainWindow_) PostMessageA(mainWindow_, WM_CLOSE, 0, 0);
    return 0;
  }
  return TForm::WndProc(message, wParam, lParam);
}

}  // namespace ns
