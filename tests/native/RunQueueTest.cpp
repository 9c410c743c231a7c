#include "app/RunQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/TaskStatus.h"
#include "platform/CaseFolding.h"

namespace ns {
namespace {

std::vector<std::string> Entries(const TRunQueue& queue) {
  std::vector<std::string> result;
  for (std::size_t i = 0; i < queue.Count(); ++i) {
    auto name = queue.NameAt(i);
    result.push_back(name + "=" + queue.StatusOf(name));
  }
  return result;
}

TEST(RunQueue, QueueTaskNeverQueuesANameTwiceWhateverItsCaseOrStatus) {
  TRunQueue queue;
  EXPECT_TRUE(queue.QueueTask("Daily"));
  EXPECT_TRUE(queue.QueueTask("Ежедневно"));
  EXPECT_FALSE(queue.QueueTask("DAILY"));
  EXPECT_FALSE(queue.QueueTask("ЕЖЕДНЕВНО"));
  queue.SetStatus("daily", StatusDone);
  EXPECT_FALSE(queue.QueueTask("Daily"));  // done in this run: not run twice
  EXPECT_EQ(Entries(queue), (std::vector<std::string>{"Daily=Выполнено", "Ежедневно=В очереди"}));
}

TEST(RunQueue, SetStatusKeepsThePlaceOrAppends) {
  TRunQueue queue;
  queue.SetStatus("A", StatusQueued);
  queue.SetStatus("B", StatusQueued);
  queue.SetStatus("a", StatusRunning);
  queue.SetStatus("C", StatusFailed);
  EXPECT_EQ(Entries(queue), (std::vector<std::string>{"A=Выполняется", "B=В очереди", "C=Ошибка"}));
  queue.SetStatus("B", "");
  EXPECT_EQ(Entries(queue), (std::vector<std::string>{"A=Выполняется", "C=Ошибка"}));
}

TEST(RunQueue, NamesMayHoldAnything) {
  // Registry key names may hold "=" and blanks; the queue keeps name and
  // status apart rather than in one "name=status" text.
  TRunQueue queue;
  queue.QueueTask("a=b");
  queue.QueueTask(" x ");
  EXPECT_FALSE(queue.QueueTask("a=b"));
  EXPECT_EQ(queue.NameAt(0), "a=b");
  EXPECT_EQ(queue.StatusOf("a=b"), StatusQueued);
  EXPECT_EQ(queue.StatusOf("a"), "");
  EXPECT_EQ(queue.StatusOf("x"), "");
  EXPECT_EQ(queue.StatusOf(" X "), StatusQueued);
}

TEST(RunQueue, LookupsOfAbsentEntries) {
  TRunQueue queue;
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_EQ(queue.StatusOf("Daily"), "");
  EXPECT_EQ(queue.NameAt(0), "");
  queue.QueueTask("Daily");
  EXPECT_EQ(queue.NameAt(1), "");
  queue.Clear();
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_TRUE(queue.QueueTask("Daily"));  // after the run the task can come again
}

TEST(RunQueue, QueueAllTasksAppendsOnlyWhatIsNotQueued) {
  TRunQueue queue;
  queue.QueueTask("B");
  queue.SetStatus("B", StatusRunning);
  queue.QueueAllTasks({"A", "b", "C"});
  EXPECT_EQ(Entries(queue), (std::vector<std::string>{"B=Выполняется", "A=В очереди", "C=В очереди"}));
  queue.QueueAllTasks({});
  EXPECT_EQ(queue.Count(), 3u);
}

TEST(RunQueue, RunEndsOnlyWhenNothingNewWasQueued) {
  TRunQueue queue;
  EXPECT_FALSE(queue.IsRunActive());
  queue.QueueTask("A");
  ASSERT_TRUE(queue.TryBeginRun());
  EXPECT_FALSE(queue.TryBeginRun());  // one worker at a time
  queue.QueueTask("B");               // handed over while A runs
  EXPECT_FALSE(queue.FinishRunUnlessQueued(1));
  EXPECT_TRUE(queue.IsRunActive());
  EXPECT_EQ(queue.NameAt(1), "B");
  EXPECT_TRUE(queue.FinishRunUnlessQueued(2));
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_FALSE(queue.IsRunActive());
  // A hand-over after the end finds no run: its start request starts one.
  queue.QueueTask("C");
  EXPECT_TRUE(queue.TryBeginRun());
}

TEST(RunQueue, AbandonedRunKeepsTheEntriesForTheNextStart) {
  TRunQueue queue;
  queue.QueueTask("A");
  ASSERT_TRUE(queue.TryBeginRun());
  queue.AbandonRun();  // the worker thread could not be created
  EXPECT_EQ(queue.Count(), 1u);
  EXPECT_TRUE(queue.TryBeginRun());
}

// The three threads of the program, played through the queue alone: a
// listener hands tasks over (some in another letter case), the
// user-interface thread starts a worker whenever asked and reads statuses as
// the list would, and each worker walks the queue and ends its run through
// the hand-off. Every task handed over must run exactly once, none may be
// lost at the end of a run, and no task may run while another worker runs.
TEST(RunQueue, ThreeThreadsLoseNoTaskAndRunNoneTwice) {
  constexpr int Tasks = 3000;
  TRunQueue queue;

  std::mutex runsLock;
  std::map<std::string, int> runs;
  std::atomic<int> workersInTask{0};
  std::atomic<bool> overlap{false};
  std::atomic<int> workersStarted{0};

  auto worker = [&] {
    std::size_t taken = 0;
    while (!queue.FinishRunUnlessQueued(taken)) {
      if (workersInTask.fetch_add(1) != 0) overlap = true;
      auto name = queue.NameAt(taken);
      queue.SetStatus(name, StatusRunning);
      {
        std::lock_guard guard(runsLock);
        ++runs[UpperCase1251(name)];
      }
      queue.SetStatus(name, taken % 7 == 0 ? StatusFailed : StatusDone);
      ++taken;
      workersInTask.fetch_sub(1);
    }
  };

  // Start requests travel to the user-interface thread as messages would.
  std::mutex messagesLock;
  std::condition_variable messagesChanged;
  int startRequests = 0;
  bool listenerDone = false;

  std::thread listener([&] {
    for (int i = 0; i < Tasks; ++i) {
      std::string name = "Задача" + std::to_string(i);
      if (i % 5 == 0) {
        queue.QueueAllTasks({name, UpperCase1251(name)});  // "*" over names of either case
      } else {
        queue.QueueTask(i % 2 ? name : UpperCase1251(name));
      }
      {
        std::lock_guard guard(messagesLock);
        ++startRequests;
        messagesChanged.notify_one();
      }
      // Let the worker catch up now and then, so that runs end while tasks
      // are still being handed over.
      if (i % 4 == 0) std::this_thread::yield();
    }
    std::lock_guard guard(messagesLock);
    listenerDone = true;
    messagesChanged.notify_one();
  });

  std::vector<std::thread> workers;
  std::thread userInterface([&] {
    for (;;) {
      std::unique_lock lock(messagesLock);
      messagesChanged.wait(lock, [&] { return startRequests > 0 || listenerDone; });
      if (startRequests == 0 && listenerDone) break;
      startRequests = 0;
      lock.unlock();
      if (queue.TryBeginRun()) {
        ++workersStarted;
        workers.emplace_back(worker);
      }
      // What the list would read meanwhile.
      for (std::size_t i = 0; i < queue.Count(); ++i) {
        auto status = queue.StatusOf(queue.NameAt(i));
        if (!status.empty() && status != StatusQueued && status != StatusRunning &&
            status != StatusDone && status != StatusFailed) {
          ADD_FAILURE() << "torn status " << status;
        }
      }
    }
  });

  listener.join();
  userInterface.join();
  for (auto& thread : workers) thread.join();

  EXPECT_FALSE(overlap);
  EXPECT_FALSE(queue.IsRunActive());
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_GE(workersStarted.load(), 1);
  ASSERT_EQ(runs.size(), static_cast<std::size_t>(Tasks));
  for (const auto& [name, count] : runs) EXPECT_EQ(count, 1) << name;
}

}  // namespace
}  // namespace ns
