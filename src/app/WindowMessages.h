#pragma once
// The main window's private messages. Threads other than the user-interface
// thread never touch a window: they post or send these instead. The numbers
// are fixed; WM_TEST_CONNECTION and WM_END_SESSIONS are plain 100 and 101,
// not offsets from WM_USER. WM_REFRESH_TASKS (WM_USER + 1) has a file of its
// own: its parameter is a tag, not a pointer.
#include "app/RefreshMessage.h"

namespace ns {

// Sent by the worker; WParam = platform version, LParam = const char*
// connection string. Result 1 when the connection opened, else 0.
inline constexpr unsigned WM_TEST_CONNECTION = 100;
// Sent by the worker; same parameters; ends the infobase's other sessions.
inline constexpr unsigned WM_END_SESSIONS = 101;
// Posted; starts a worker unless one is running.
inline constexpr unsigned WM_START_WORKER = 0x400 + 4;
// Posted by the hand-over listener when a later start asks for the window.
inline constexpr unsigned WM_SHOW_MAIN_WINDOW = 0x400 + 200;
// Posted by the worker when the running task's stage changed; the text is
// kept by the window, the message carries nothing.
inline constexpr unsigned WM_SHOW_STAGE = 0x400 + 201;

}  // namespace ns
