// Other processes find the program's windows by their class names, and any
// process on the desktop can send the main window the numbers of the
// worker's requests and of the refresh. The window must act only on the
// request its worker has open, never read through a pointer another process
// chose, nor take one over and free it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/Application.h"
#include "app/Main.h"
#include "app/WindowMessages.h"
#include "tasks/TaskStore.h"
#include "win/Registry.h"

namespace ns {
namespace {

TEST(MainWindow, OtherProcessesFindTheWindowsByTheirClassNames) {
  TApplication application(GetModuleHandleA(nullptr));
  TFormMain form(application);
  EXPECT_EQ(FindWindowA("TFormMain", nullptr), form.Handle());
  // The application's window is a hidden top-level window, which the desktop
  // lists (a message-only window would not be found here).
  EXPECT_EQ(FindWindowA("TApplication", "Nightshelf"), application.Handle());
  EXPECT_EQ(GetAncestor(application.Handle(), GA_PARENT), GetDesktopWindow());
  EXPECT_FALSE(IsWindowVisible(application.Handle()));
  // Its close is the main window's close, which lets the program end when
  // no work is left.
  PostMessageA(application.Handle(), WM_CLOSE, 0, 0);
  MSG message;
  bool quit = false;
  for (DWORD start = GetTickCount(); !quit && GetTickCount() - start < 5000;) {
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      Sleep(10);
      continue;
    }
    if (message.message == WM_QUIT) quit = true;
    DispatchMessageA(&message);
  }
  EXPECT_TRUE(quit);
}

TEST(MainWindow, IgnoresWorkerRequestsTheWorkerDidNotMake) {
  TApplication application(GetModuleHandleA(nullptr));
  TFormMain form(application);
  for (LPARAM parameter : {LPARAM(0x1234), LPARAM(1), LPARAM(-1), LPARAM(0)}) {
    EXPECT_EQ(SendMessageA(form.Handle(), WM_TEST_CONNECTION, 2, parameter), 0);
    EXPECT_EQ(SendMessageA(form.Handle(), WM_END_SESSIONS, 2, parameter), 0);
  }
  // A message from another thread, as another process's would arrive.
  std::atomic<LRESULT> answer{-1};
  std::thread stranger([&] { answer = SendMessageA(form.Handle(), WM_TEST_CONNECTION, 1, 0x5678); });
  MSG message;
  while (answer == -1) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  stranger.join();
  EXPECT_EQ(answer, 0);

  // WM_REFRESH_TASKS with a pointer to a task's name, the form a stranger
  // would guess the message takes: the window neither selects that task nor
  // frees memory that is not its own; a refresh of its own still selects.
  RegDeleteTreeA(HKEY_CURRENT_USER, TaskStoreKeyPath);
  for (const char* task : {"Альфа", "Бета"}) {
    ASSERT_TRUE(WriteRegistryString(HKEY_CURRENT_USER, TaskKeyPath(task), "", "8.3/FC:\\A/DumpIBC:\\Archive"));
  }
  SendMessageA(form.Handle(), WM_REFRESH_TASKS, 0, 0);
  ASSERT_EQ(form.Panel().taskList_.Selected(), 0);
  static char foreign[] = "Бета";
  for (LPARAM parameter : {reinterpret_cast<LPARAM>(foreign), LPARAM(0x5A17), LPARAM(-1)}) {
    SendMessageA(form.Handle(), WM_REFRESH_TASKS, 0, parameter);
    EXPECT_EQ(form.Panel().taskList_.Selected(), 0);
  }
  EXPECT_STREQ(foreign, "Бета");
  SendMessageA(form.Handle(), WM_REFRESH_TASKS, 0, KeepRefreshSelection(form.Handle(), "бета"));
  EXPECT_EQ(form.Panel().taskList_.Selected(), 1);
  RegDeleteTreeA(HKEY_CURRENT_USER, TaskStoreKeyPath);
}

}  // namespace
}  // namespace ns
