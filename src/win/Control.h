#pragma once
// One way to create a child control: its arguments in one struct, named at
// the call, and one function that creates it visible and throws when the
// system refuses, so no caller forgets the check or the control id's cast.
//
//   HWND name = CreateControl({.Parent = form, .ClassName = "EDIT",
//                              .Style = WS_TABSTOP | ES_AUTOHSCROLL,
//                              .ExStyle = WS_EX_CLIENTEDGE,
//                              .Bounds = Bounds(120, 8, 260, 21), .Id = IdName});
#include <windows.h>

#include <string>

namespace ns {

struct TControlArgs {
  HWND Parent = nullptr;
  const char* ClassName = nullptr;
  std::string Text = {};
  // Added to WS_CHILD | WS_VISIBLE.
  DWORD Style = 0;
  DWORD ExStyle = 0;
  // In the parent's client coordinates; empty for a control laid out later.
  RECT Bounds = {};
  int Id = 0;
  // What WM_NCCREATE and WM_CREATE find in CREATESTRUCT for a class of the
  // program's own.
  void* CreateParam = nullptr;
};

// Creates the control. Throws EWin32Error when it cannot be created.
HWND CreateControl(const TControlArgs& args);

// The rectangle of that position and size.
constexpr RECT Bounds(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

}  // namespace ns
