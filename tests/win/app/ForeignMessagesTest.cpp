// Any process on the desktop can send the main window the numbers of the
// worker's requests. The window must act only on the request its worker has
// open, never read through a pointer another process chose.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "app/Application.h"
#include "app/Main.h"
#include "app/WindowMessages.h"

namespace ns {
namespace {

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
}

}  // namespace
}  // namespace ns
