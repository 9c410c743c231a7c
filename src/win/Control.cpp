#include "win/Control.h"

#include "win/Win32Error.h"

namespace ns {

HWND CreateControl(const TControlArgs& args) {
  const RECT& bounds = args.Bounds;
  HWND control = CreateWindowExA(args.ExStyle, args.ClassName, args.Text.c_str(), WS_CHILD | WS_VISIBLE | args.Style,
                                 bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                 args.Parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.Id)),
                                 GetModuleHandleA(nullptr), args.CreateParam);
  if (!control) ThrowLastError("CreateWindowExA");
  return control;
}

}  // namespace ns
