#pragma once
// The C++ object behind a window. The object is passed as the last argument
// of CreateWindowEx and attached to the handle at WM_NCCREATE, the first
// message a window gets, so that no message reaches the window without its
// object; later messages find it in GWLP_USERDATA.
#include <windows.h>

namespace ns {

// The object of `window`, attaching it when `message` is WM_NCCREATE; null
// for the few messages that may come before (WM_GETMINMAXINFO) and after a
// window's object has let go of it.
template <class T>
T* WindowObject(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* object = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
  }
  return reinterpret_cast<T*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace ns
