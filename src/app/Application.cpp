#include "app/Application.h"

#include "win/Form.h"
#include "win/Win32Error.h"
#include "win/WindowObject.h"

namespace ns {

namespace {
constexpr char ApplicationClassName[] = "TApplication";
}

TApplication::TApplication(HINSTANCE instance) : instance_(instance) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = ApplicationClassName;
  RegisterClassA(&windowClass);
  // A hidden top-level window, not a message-only one: other programs and
  // the task bar see the application through it.
  handle_ = CreateWindowExA(0, ApplicationClassName, "Nightshelf", WS_POPUP, 0, 0, 0, 0, nullptr,
                            nullptr, instance, this);
  if (!handle_) ThrowLastError("CreateWindowExA");
}

TApplication::~TApplication() {
  if (handle_) {
    SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    DestroyWindow(handle_);
  }
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::Run() {
  if (terminated_) return;
  if (ShowMainForm && mainWindow_) {
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

LRESULT CALLBACK TApplication::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = WindowObject<TApplication>(window, message, lParam);
  if (self && message == WM_CLOSE) {
    // Closing the application means closing its main window, whose close
    // handling decides whether the program really ends.
    if (self->mainWindow_) PostMessageA(self->mainWindow_, WM_CLOSE, 0, 0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace ns
