#include "HostWindow.h"

namespace ns::test {

THostWindow::THostWindow() {
  CreateForm({.ClassName = "TControlsTestHost",
              .Caption = "Host",
              .Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE,
              .Left = 100,
              .Top = 100,
              .Width = 480,
              .Height = 240});
  SetForegroundWindow(Handle());
  PumpMessages();
}

std::vector<TCommand> THostWindow::TakeCommands() {
  std::vector<TCommand> taken;
  taken.swap(commands_);
  return taken;
}

LRESULT THostWindow::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) {
    commands_.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
    return 0;
  }
  return TForm::WndProc(message, wParam, lParam);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void ClickAt(HWND window) {
  RECT bounds;
  GetWindowRect(window, &bounds);
  int x = (bounds.left + bounds.right) / 2;
  int y = (bounds.top + bounds.bottom) / 2;
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  inputs[0].mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, inputs, sizeof(INPUT));
}

void PressKey(WORD virtualKey) {
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
  }
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

}  // namespace ns::test
