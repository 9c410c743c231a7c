#include "win/Form.h"

#include <algorithm>
#include <vector>

#include "win/ScopedGdi.h"
#include "win/Win32Error.h"
#include "win/WindowObject.h"

namespace ns {

HFONT FormFont() {
  // Character height 11 pixels (a negative height asks for the character
  // height rather than the cell height): 8 points at 96 dots per inch.
  static HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
  return font;
}

namespace {

BOOL CALLBACK ApplyFontToChild(HWND child, LPARAM font) {
  SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

RECT WorkAreaOf(HWND window) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
  return monitor.rcWork;
}

}  // namespace

void ApplyFormFont(HWND window) {
  LPARAM font = reinterpret_cast<LPARAM>(FormFont());
  SendMessageA(window, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  EnumChildWindows(window, ApplyFontToChild, font);
}

void CenterOver(HWND window, HWND owner) {
  RECT area = WorkAreaOf(owner ? owner : window);
  RECT around = area;
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
  RECT own;
  GetWindowRect(window, &own);
  int width = own.right - own.left;
  int height = own.bottom - own.top;
  int left = around.left + (around.right - around.left - width) / 2;
  int top = around.top + (around.bottom - around.top - height) / 2;
  // Over an owner near the edge of the screen the form would hang off it.
  left = std::max<int>(area.left, std::min<int>(left, area.right - width));
  top = std::max<int>(area.top, std::min<int>(top, area.bottom - height));
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle) {
  RECT frame = {0, 0, width, height};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

TForm::~TForm() { DestroyForm(); }

void TForm::DestroyForm() {
  if (handle_) {
    // Messages sent while the window goes must not reach a half-destroyed
    // object.
    SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
    HWND window = handle_;
    handle_ = nullptr;
    DestroyWindow(window);
  }
}

std::string TForm::Caption() const {
  char text[256] = {};
  GetWindowTextA(handle_, text, sizeof text);
  return text;
}

void TForm::CreateForm(const TFormArgs& args) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  if (!GetClassInfoExA(instance, args.ClassName, &windowClass)) {
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = StaticWndProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = args.ClassName;
    windowClass.hIcon = args.Icon;
    if (!RegisterClassExA(&windowClass)) ThrowLastError("RegisterClassExA");
  }
  SIZE outer = (args.Style & WS_CHILD) ? SIZE{args.Width, args.Height}
                                       : OuterSize(args.Width, args.Height, args.Style, args.ExStyle);
  HWND window = CreateWindowExA(args.ExStyle, args.ClassName, args.Caption, args.Style, args.Left, args.Top, outer.cx,
                                outer.cy, args.Parent, nullptr, instance, this);
  if (!window) ThrowLastError("CreateWindowExA");
}

TForm* TForm::FromHandle(HWND window) {
  if (!window || reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) != StaticWndProc) {
    return nullptr;
  }
  return reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK TForm::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = WindowObject<TForm>(window, message, lParam);
  if (!form) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCCREATE) form->handle_ = window;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    form->handle_ = nullptr;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  try {
    return form->WndProc(message, wParam, lParam);
  } catch (const std::exception& error) {
    form->ShowError(error);
    return 0;
  }
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE && modal_) {
    EndModal(IDCANCEL);
    return 0;
  }
  if (message == WM_DRAWITEM) {
    return SendMessageA(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem, WM_REFLECTED_DRAWITEM, wParam, lParam);
  }
  return DefWindowProcA(handle_, message, wParam, lParam);
}

void TForm::ShowError(const std::exception& error) {
  HWND top = GetAncestor(handle_, GA_ROOT);
  char caption[256] = {};
  GetWindowTextA(top ? top : handle_, caption, sizeof caption);
  MessageBoxA(top ? top : handle_, error.what(), caption, MB_ICONERROR | MB_OK);
}

bool TForm::PreTranslate(MSG& message) {
  if (!message.hwnd) return false;
  // The forms the message passes on its way up, nearest first.
  std::vector<TForm*> forms;
  for (HWND window = message.hwnd; window; window = (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr) {
    if (TForm* form = FromHandle(window)) forms.push_back(form);
  }
  if (forms.empty()) return false;
  if (message.message == WM_KEYDOWN) {
    for (TForm* form : forms) {
      if (form->KeyPreview(message.wParam)) return true;
    }
  }
  return IsDialogMessageA(forms.back()->Handle(), &message) != FALSE;
}

int TForm::ShowModal(HWND owner) {
  bool disabledOwner = owner && IsWindowEnabled(owner);
  if (disabledOwner) EnableWindow(owner, FALSE);
  CenterOver(handle_, owner);
  modal_ = true;
  modalEnded_ = false;
  modalResult_ = 0;
  ShowWindow(handle_, SW_SHOW);
  SetForegroundWindow(handle_);
  if (HWND first = GetNextDlgTabItem(handle_, nullptr, FALSE)) SetFocus(first);

  MSG message;
  bool quit = false;
  while (!modalEnded_) {
    if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
      quit = true;
      break;
    }
    if (PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  // The owner is enabled before the form hides, so that the system gives the
  // activation back to it and not to another program.
  if (disabledOwner) EnableWindow(owner, TRUE);
  if (handle_) ShowWindow(handle_, SW_HIDE);
  if (owner) SetActiveWindow(owner);
  modal_ = false;
  if (quit) PostQuitMessage(static_cast<int>(message.wParam));
  return modalResult_;
}

void TForm::EndModal(int result) {
  modalResult_ = result;
  modalEnded_ = true;
  // Wakes the loop, which may be waiting for a message when the result was
  // set from outside a handler.
  PostMessageA(handle_, WM_NULL, 0, 0);
}

TPanel::TPanel(HWND parent, int left, int top, int width, int height, TPanelEdge edge) : edge_(edge) {
  CreateForm({.ClassName = "TPanel",
              .Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
              .ExStyle = WS_EX_CONTROLPARENT,
              .Left = left,
              .Top = top,
              .Width = width,
              .Height = height,
              .Parent = parent});
}

LRESULT TPanel::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CONTEXTMENU:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return SendMessageA(GetParent(Handle()), message, wParam, lParam);
    case WM_PAINT:
      if (edge_ == TPanelEdge::Raised) {
        TPaintScope paint(Handle());
        RECT client;
        GetClientRect(Handle(), &client);
        DrawEdge(paint.Dc(), &client, BDR_RAISEDINNER, BF_RECT);
        return 0;
      }
      break;
    case WM_SIZE:
      if (edge_ == TPanelEdge::Raised) InvalidateRect(Handle(), nullptr, TRUE);
      break;
  }
  return TForm::WndProc(message, wParam, lParam);
}

}  // namespace ns
