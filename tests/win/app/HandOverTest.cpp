// The hand-over channel between instances, with real kernel objects: what a
// later start writes reaches the first instance's run queue and main window,
// and nothing else does.
#include <windows.h>

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/CommandLine.h"
#include "backup/RunQueue.h"
#include "app/HandOver.h"
#include "app/WindowMessages.h"

namespace ns {
namespace {

// A message-only window on the test's thread standing in for the main
// window: the listener posts to it, the test reads what arrived.
class TMessageSink {
 public:
  TMessageSink() {
    handle_ = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  ~TMessageSink() { DestroyWindow(handle_); }
  HWND Handle() const { return handle_; }

  // The private messages that arrive up to and including the `times`-th
  // `last`, or within a generous limit if it never comes.
  std::vector<UINT> CollectUntil(UINT last, int times = 1) {
    std::vector<UINT> messages;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
      MSG message;
      while (PeekMessageA(&message, handle_, 0, 0, PM_REMOVE)) {
        if (message.message < WM_TEST_CONNECTION || message.message == WM_TIMER) continue;
        messages.push_back(message.message);
        if (message.message == last && --times == 0) return messages;
      }
      Sleep(10);
    }
    return messages;
  }

 private:
  HWND handle_;
};

std::string BlockText() {
  HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, HandOverMappingName);
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, HandOverMappingSize);
  std::string text(static_cast<const char*>(view));
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  return text;
}

class HandOver : public ::testing::Test {
 protected:
  std::shared_ptr<TRunQueue> queue = std::make_shared<TRunQueue>();
  THandOverListener first{queue};
  THandOverChannel later;
  TMessageSink window;

  void SetUp() override {
    first.Start();
    OpenChannel(later);
  }
  void TearDown() override { first.Stop(); }

  // A show request handed over after everything else, as a marker: the
  // listener takes texts in order and posts in order, so the messages before
  // the marker's are all that the earlier hand-overs brought.
  std::vector<UINT> MessagesBeforeMarker() {
    EXPECT_TRUE(ns::HandOver(later, {std::string(ShowRequest)}, 5000));
    std::vector<UINT> messages = window.CollectUntil(WM_SHOW_MAIN_WINDOW);
    EXPECT_FALSE(messages.empty() || messages.back() != WM_SHOW_MAIN_WINDOW) << "the marker did not arrive";
    if (!messages.empty()) messages.pop_back();
    return messages;
  }
};

TEST_F(HandOver, TasksOfALaterStartAreQueuedAndAWorkerIsAskedFor) {
  first.Accept(window.Handle());
  ASSERT_TRUE(ns::HandOver(later, BuildHandOverTexts({"Daily", "Ежемесячно", "Daily"}), 5000));
  EXPECT_EQ(MessagesBeforeMarker(), std::vector<UINT>{WM_START_WORKER});  // hidden: no refresh
  ASSERT_EQ(queue->Count(), 2u);
  EXPECT_EQ(queue->NameAt(0), "Daily");
  EXPECT_EQ(queue->NameAt(1), "Ежемесячно");
  EXPECT_EQ(BlockText(), "");  // taken
}

TEST_F(HandOver, ALongCommandLineArrivesWholeAndInOrder) {
  first.Accept(window.Handle());
  std::vector<std::string> names;
  for (int i = 1; i <= 120; ++i) names.push_back("Задание-номер-" + std::to_string(i));
  std::vector<std::string> texts = BuildHandOverTexts(names);
  ASSERT_GT(texts.size(), 1u);
  ASSERT_TRUE(ns::HandOver(later, texts, 5000));
  MessagesBeforeMarker();
  ASSERT_EQ(queue->Count(), names.size());
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(queue->NameAt(i), names[i]);
}

TEST_F(HandOver, AShowRequestAsksForTheWindowOnly) {
  first.Accept(window.Handle());
  // The request twice, the second as the marker: nothing but the two asks.
  ASSERT_TRUE(ns::HandOver(later, {std::string(ShowRequest), std::string(ShowRequest)}, 5000));
  EXPECT_EQ(window.CollectUntil(WM_SHOW_MAIN_WINDOW, 2),
            (std::vector<UINT>{WM_SHOW_MAIN_WINDOW, WM_SHOW_MAIN_WINDOW}));
  EXPECT_EQ(queue->Count(), 0u);
}

TEST_F(HandOver, NothingIsTakenBeforeTheFirstInstanceIsReady) {
  // A later instance's own listener wakes on its own pulse; it must neither
  // queue nor take the text meant for the first instance.
  EXPECT_FALSE(ns::HandOver(later, BuildHandOverTexts({"Daily"}), 300));
  EXPECT_EQ(queue->Count(), 0u);
  EXPECT_EQ(BlockText(), "/Param1Daily/");
  // Once it is ready, the next sender's pulses get the waiting text through
  // before its own.
  first.Accept(window.Handle());
  EXPECT_TRUE(ns::HandOver(later, BuildHandOverTexts({"Weekly"}), 5000));
  MessagesBeforeMarker();
  ASSERT_EQ(queue->Count(), 2u);
  EXPECT_EQ(queue->NameAt(0), "Daily");
  EXPECT_EQ(queue->NameAt(1), "Weekly");
}

TEST_F(HandOver, AnotherInstanceStoppingItsListenerQueuesNothingAgain) {
  first.Accept(window.Handle());
  ASSERT_TRUE(ns::HandOver(later, BuildHandOverTexts({"Daily"}), 5000));
  MessagesBeforeMarker();
  queue->Clear();  // the worker has run it and ended

  // The later instance ends: its StopListener pulses the shared event.
  PulseEvent(later.Event.get());
  EXPECT_EQ(MessagesBeforeMarker(), std::vector<UINT>{});
  EXPECT_EQ(queue->Count(), 0u);
}

// The scheduler starts every task that is due at once: several later
// instances hand over in the same moment, each through its own handles.
// Every text must reach the queue, none may be overwritten by another.
TEST_F(HandOver, LaterStartsAtTheSameMomentAllGetTheirTasksThrough) {
  first.Accept(window.Handle());
  constexpr int Senders = 8;
  std::atomic<int> taken{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> senders;
  for (int i = 0; i < Senders; ++i) {
    senders.emplace_back([&, i] {
      THandOverChannel own;
      OpenChannel(own);
      while (!go) std::this_thread::yield();
      if (ns::HandOver(own, BuildHandOverTexts({"Задача" + std::to_string(i)}), 5000)) ++taken;
    });
  }
  go = true;
  for (auto& sender : senders) sender.join();
  MessagesBeforeMarker();
  EXPECT_EQ(taken, Senders);
  ASSERT_EQ(queue->Count(), static_cast<size_t>(Senders));
  std::vector<std::string> names;
  for (size_t i = 0; i < queue->Count(); ++i) names.push_back(queue->NameAt(i));
  for (int i = 0; i < Senders; ++i) {
    EXPECT_NE(std::find(names.begin(), names.end(), "Задача" + std::to_string(i)), names.end()) << i;
  }
}

size_t ThreadsOfThisProcess() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  size_t count = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// A listener told to stop between its look at the stop flag and its wait must
// still end: Stop() returns only once its thread has gone, every time.
TEST(HandOverListener, StopEndsTheListenersThreadEveryTime) {
  auto queue = std::make_shared<TRunQueue>();
  size_t before = ThreadsOfThisProcess();
  for (int i = 0; i < 50; ++i) {
    THandOverListener listener(queue);
    listener.Start();
    if (i % 2) Sleep(1);
    listener.Stop();
    ASSERT_EQ(ThreadsOfThisProcess(), before) << "round " << i;
  }
}

}  // namespace
}  // namespace ns

namespace ns {
namespace {

// A listener woken while a sender copies its text (the pulse of another
// instance stopping its listener can come at any moment) must find either
// nothing or the whole text. The block is laid across two pages, the second
// one read-only at first: the write stops where it reaches that page, and
// what a reader would take from the block at that moment is recorded before
// the write may go on.
struct TStoppedWrite {
  char* Block = nullptr;
  char* SecondPage = nullptr;
  int Stops = 0;
  bool Taken = false;
  std::string TakenText;
};
TStoppedWrite* stoppedWrite = nullptr;

LONG CALLBACK ReadTheBlockWhereTheWriteStopped(EXCEPTION_POINTERS* exception) {
  TStoppedWrite* write = stoppedWrite;
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  if (!write || record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  auto* address = reinterpret_cast<char*>(record.ExceptionInformation[1]);
  if (address < write->SecondPage || address >= write->SecondPage + 4096) return EXCEPTION_CONTINUE_SEARCH;
  ++write->Stops;
  // The listener's own reading, on a copy: it empties the first byte.
  char copy[HandOverMappingSize];
  CopyMemory(copy, write->Block, sizeof copy);
  write->Taken = TakeHandOverText(copy, write->TakenText);
  DWORD old;
  VirtualProtect(write->SecondPage, 4096, PAGE_READWRITE, &old);
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(HandOverBlock, AReaderDuringAWriteFindsNothingRatherThanPartOfTheText) {
  std::vector<std::string> names;
  for (int i = 1; i <= 40; ++i) names.push_back("Задание-" + std::to_string(i));
  std::string text = BuildHandOverTexts(names).front();
  ASSERT_GT(text.size(), 600u);

  auto* pages = static_cast<char*>(VirtualAlloc(nullptr, 8192, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  // Both an empty block and one still holding an older, untaken text.
  for (const std::string& before : {std::string(), std::string("/Param1Старое/")}) {
    SCOPED_TRACE(before);
    TStoppedWrite write;
    write.Block = pages + 4096 - 300;
    write.SecondPage = pages + 4096;
    ZeroMemory(pages, 8192);
    CopyMemory(write.Block, before.c_str(), before.size() + 1);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(write.SecondPage, 4096, PAGE_READONLY, &old));
    stoppedWrite = &write;
    PVOID handler = AddVectoredExceptionHandler(1, ReadTheBlockWhereTheWriteStopped);
    WriteHandOverText(write.Block, text);
    RemoveVectoredExceptionHandler(handler);
    stoppedWrite = nullptr;

    ASSERT_EQ(write.Stops, 1);
    EXPECT_FALSE(write.Taken) << write.TakenText;
    std::string whole;
    ASSERT_TRUE(TakeHandOverText(write.Block, whole));
    EXPECT_EQ(whole, text);
    EXPECT_EQ(write.Block[0], '\0');  // taken
  }
  VirtualFree(pages, 0, MEM_RELEASE);
}

// The worker has finished one task and runs the next when a later start
// hands both over again: the finished one is asked for anew and runs after
// what waits, the one still running is not doubled.
TEST_F(HandOver, ATaskFinishedInTheRunningWorkerRunIsQueuedAgain) {
  first.Accept(window.Handle());
  queue->QueueTask("Готово");
  queue->QueueTask("Идёт");
  ASSERT_TRUE(queue->TryBeginRun());
  std::string taken;
  ASSERT_TRUE(queue->TakeNextOrFinishRun(taken));
  queue->SetStatus(taken, "Выполнено");
  ASSERT_TRUE(queue->TakeNextOrFinishRun(taken));
  queue->SetStatus(taken, "Выполняется");

  ASSERT_TRUE(ns::HandOver(later, BuildHandOverTexts({"Идёт", "готово"}), 5000));
  // The listener asks for a worker once it has queued the text's tasks.
  MSG message{};
  DWORD end = GetTickCount() + 5000;
  while (!PeekMessageA(&message, window.Handle(), WM_START_WORKER, WM_START_WORKER, PM_REMOVE) &&
         GetTickCount() < end) {
    Sleep(10);
  }
  ASSERT_EQ(message.message, WM_START_WORKER);
  ASSERT_EQ(queue->Count(), 2u);
  EXPECT_EQ(queue->NameAt(0), "Идёт");
  EXPECT_EQ(queue->StatusOf("Идёт"), "Выполняется");
  EXPECT_EQ(queue->NameAt(1), "Готово");
  EXPECT_EQ(queue->StatusOf("Готово"), "В очереди");
  // The same worker run takes it.
  ASSERT_TRUE(queue->TakeNextOrFinishRun(taken));
  EXPECT_EQ(taken, "Готово");
  queue->EndRun();
}

}  // namespace
}  // namespace ns
