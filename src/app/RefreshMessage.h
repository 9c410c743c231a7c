#pragma once
// The message that asks the main window to read its task list again, posted
// by the main window to itself after whatever changed the store.
//
// Any program on the desktop can post a message of this number to a
// top-level window, with any LParam. So the LParam never carries a pointer:
// the name of the task to select stays in this process, kept for the window
// under a tag, and the message carries the tag. The window takes the name by
// the tag and ignores a message whose tag it was never given.
#include <windows.h>

#include <string>

namespace ns {

// Posted; LParam 0 (refresh, keep the row) or a tag from KeepRefreshSelection.
inline constexpr unsigned WM_REFRESH_TASKS = 0x400 + 1;

// Keeps `name` for `window` and returns the tag to post with; never 0.
LPARAM KeepRefreshSelection(HWND window, const std::string& name);

// The name kept for `window` under `tag`, handed out once; false for a tag
// this process did not give out for that window (or gave out and took back).
bool TakeRefreshSelection(HWND window, LPARAM tag, std::string& name);

// Posts WM_REFRESH_TASKS asking `window` to select `name` after the refresh.
// False, with nothing kept, when the message could not be posted.
bool PostRefreshSelecting(HWND window, const std::string& name);

}  // namespace ns
