// Whether the worker thread still holds the program open when the window is
// asked to close: a worker that has finished its run but is slow to return
// must not leave a hidden instance behind.
#include <gtest/gtest.h>
#include <windows.h>

#include "win/ThreadState.h"
#include "win/UniqueHandle.h"

namespace ns {
namespace {

// A thread that signals `started`, then either sleeps `sleepMs` or, with no
// sleep given, waits until `release` is set, and returns.
struct TThreadScript {
  UniqueHandle started{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle release{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  DWORD sleepMs = 0;
  UniqueHandle thread;

  static DWORD WINAPI Body(void* parameter) {
    auto* script = static_cast<TThreadScript*>(parameter);
    SetEvent(script->started.get());
    if (script->sleepMs) Sleep(script->sleepMs);
    else WaitForSingleObject(script->release.get(), INFINITE);
    return 0;
  }

  void Start() {
    thread.reset(CreateThread(nullptr, 0, Body, this, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(started.get(), 10000), WAIT_OBJECT_0);
  }

  ~TThreadScript() {
    SetEvent(release.get());
    if (thread) WaitForSingleObject(thread.get(), INFINITE);
  }
};

TEST(ThreadState, AThreadWhoseWorkIsOverIsGivenTimeToReturn) {
  TThreadScript returning;
  returning.sleepMs = 300;
  returning.Start();
  EXPECT_FALSE(IsThreadRunning(returning.thread.get(), 10000));
  EXPECT_EQ(WaitForSingleObject(returning.thread.get(), 0), WAIT_OBJECT_0);
}

TEST(ThreadState, AThreadThatDoesNotReturnWithinTheLimitIsStillWorking) {
  TThreadScript stuck;
  stuck.Start();
  EXPECT_TRUE(IsThreadRunning(stuck.thread.get(), 50));
}

TEST(ThreadState, AThreadStillAtItsWorkIsLookedAtOnceNotWaitedFor) {
  // A wait would never end: the thread returns only when the test releases it.
  TThreadScript working;
  working.Start();
  EXPECT_TRUE(IsThreadRunning(working.thread.get(), 0));
}

TEST(ThreadState, NoThreadIsNotWorking) {
  EXPECT_FALSE(IsThreadRunning(nullptr, INFINITE));
  EXPECT_FALSE(IsThreadRunning(nullptr, 0));
}

}  // namespace
}  // namespace ns
