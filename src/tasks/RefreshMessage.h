#pragma once
// The message that asks the main window to read its task list again, posted
// by the task editor after a save (and by the main window to itself).
namespace ns {

// Posted; LParam 0 or a heap block (new char[]) holding the name of the task
// to select, which the receiver frees.
inline constexpr unsigned WM_REFRESH_TASKS = 0x400 + 1;

}  // namespace ns
