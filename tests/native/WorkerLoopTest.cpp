#include "backup/WorkerLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "backup/TaskStatus.h"
#include "base/CaseFolding.h"

namespace ns {
namespace {

// A host of the test's own: counts what the worker tells it.
class TCountingHost : public IWorkerHost {
 public:
  bool TestConnection(const TInfobaseLogon&, PlatformVersion) override { return true; }
  void EndSessions(const TInfobaseLogon&, PlatformVersion) override {}
  void TaskListChanged() override { ++TaskListChanges; }
  void ShowStage(const std::string&) override {}
  void RunEnded(bool allSucceeded) override {
    ++RunsEnded;
    if (!allSucceeded) ++RunsFailed;
  }

  std::atomic<int> TaskListChanges{0};
  std::atomic<int> RunsEnded{0};
  std::atomic<int> RunsFailed{0};
};

TEST(WorkerLoop, RunsEveryEntryOnceIncludingThoseQueuedDuringTheWalk) {
  TRunQueue queue;
  TCountingHost host;
  queue.QueueTask("A");
  queue.QueueTask("B");
  ASSERT_TRUE(queue.TryBeginRun());
  std::vector<std::string> ran;
  WalkRunQueue(queue, host, [&](const std::string& name) {
    ran.push_back(name);
    if (name == "A") {
      queue.QueueTask("C");  // handed over while A runs: same walk
      queue.QueueTask("b");  // already queued, in another letter case
    }
    queue.SetStatus(name, StatusDone);
    return true;
  });
  EXPECT_EQ(ran, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_FALSE(queue.IsRunActive());
  EXPECT_EQ(host.RunsEnded, 1);
  EXPECT_EQ(host.RunsFailed, 0);
}

// A later start (or "Выполнить сейчас") asks for tasks during a long run:
// one that has finished runs again after those queued now, one still waiting
// or running is not doubled.
TEST(WorkerLoop, ATaskAskedForAfterItFinishedRunsAgainInTheSameWalk) {
  TRunQueue queue;
  TCountingHost host;
  for (const char* name : {"A", "B", "C"}) queue.QueueTask(name);
  ASSERT_TRUE(queue.TryBeginRun());
  std::vector<std::string> ran;
  WalkRunQueue(queue, host, [&](const std::string& name) {
    ran.push_back(name);
    queue.SetStatus(name, StatusRunning);
    if (ran.size() == 2) {
      EXPECT_TRUE(queue.QueueTask("a"));  // finished: again
      EXPECT_FALSE(queue.QueueTask("B"));  // running now
      EXPECT_FALSE(queue.QueueTask("C"));  // still waiting
    }
    queue.SetStatus(name, name == "A" ? StatusFailed : StatusDone);
    return true;
  });
  EXPECT_EQ(ran, (std::vector<std::string>{"A", "B", "C", "A"}));
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_EQ(host.RunsEnded, 1);
}

TEST(WorkerLoop, OneFailedOrMissingTaskMakesTheRunAFailure) {
  TRunQueue queue;
  TCountingHost host;
  for (const char* name : {"A", "Missing", "C"}) queue.QueueTask(name);
  ASSERT_TRUE(queue.TryBeginRun());
  std::vector<std::string> ran;
  WalkRunQueue(queue, host, [&](const std::string& name) {
    ran.push_back(name);
    return name != "Missing";
  });
  EXPECT_EQ(ran, (std::vector<std::string>{"A", "Missing", "C"}));  // the walk goes on
  EXPECT_EQ(host.RunsFailed, 1);
}

TEST(WorkerLoop, AnErrorEndsTheRunAndStillTellsTheHost) {
  TRunQueue queue;
  TCountingHost host;
  queue.QueueTask("A");
  queue.QueueTask("B");
  ASSERT_TRUE(queue.TryBeginRun());
  std::vector<std::string> ran;
  WalkRunQueue(queue, host, [&](const std::string& name) {
    ran.push_back(name);
    throw std::runtime_error("out of memory");
    return true;
  });
  EXPECT_EQ(ran, (std::vector<std::string>{"A"}));
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_FALSE(queue.IsRunActive());
  EXPECT_EQ(host.RunsEnded, 1);
  EXPECT_EQ(host.RunsFailed, 1);
  // The next start request finds no run active and starts a worker.
  queue.QueueTask("C");
  EXPECT_TRUE(queue.TryBeginRun());
}

TEST(WorkerLoop, AnEmptyQueueEndsTheRunAtOnce) {
  TRunQueue queue;
  TCountingHost host;
  ASSERT_TRUE(queue.TryBeginRun());
  WalkRunQueue(queue, host, [](const std::string&) {
    ADD_FAILURE() << "nothing to run";
    return false;
  });
  EXPECT_FALSE(queue.IsRunActive());
  EXPECT_EQ(host.RunsEnded, 1);
  EXPECT_EQ(host.RunsFailed, 0);
}

// The three threads of the program: a listener hands tasks over (some in
// another letter case), the user-interface thread starts a worker whenever
// asked and reads statuses as the list would, and each worker walks the queue
// with the real loop and ends its run through the hand-off. Every task handed over must run exactly once, none may be
// lost at the end of a run, and no task may run while another worker runs.
TEST(WorkerLoop, ThreeThreadsLoseNoTaskAndRunNoneTwice) {
  constexpr int Tasks = 3000;
  TRunQueue queue;

  std::mutex runsLock;
  std::map<std::string, int> runs;
  std::atomic<int> workersInTask{0};
  std::atomic<bool> overlap{false};
  std::atomic<int> workersStarted{0};

  TCountingHost host;
  auto worker = [&] {
    WalkRunQueue(queue, host, [&](const std::string& name) {
      if (workersInTask.fetch_add(1) != 0) overlap = true;
      queue.SetStatus(name, StatusRunning);
      {
        std::lock_guard guard(runsLock);
        ++runs[UpperCase1251(name)];
      }
      queue.SetStatus(name, name.size() % 2 ? StatusFailed : StatusDone);
      workersInTask.fetch_sub(1);
      return true;
    });
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
  EXPECT_EQ(host.RunsEnded, workersStarted.load());
  ASSERT_EQ(runs.size(), static_cast<std::size_t>(Tasks));
  for (const auto& [name, count] : runs) EXPECT_EQ(count, 1) << name;
}

}  // namespace
}  // namespace ns
