#include "backup/RunQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backup/TaskStatus.h"

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

TEST(RunQueue, QueueTaskQueuesAWaitingOrRunningNameOnceWhateverItsCase) {
  TRunQueue queue;
  EXPECT_TRUE(queue.QueueTask("Daily"));
  EXPECT_TRUE(queue.QueueTask("Ежедневно"));
  EXPECT_FALSE(queue.QueueTask("DAILY"));
  EXPECT_FALSE(queue.QueueTask("ЕЖЕДНЕВНО"));
  queue.SetStatus("daily", StatusRunning);
  EXPECT_FALSE(queue.QueueTask("Daily"));  // running: it is being done
  EXPECT_EQ(Entries(queue), (std::vector<std::string>{"Daily=Выполняется", "Ежедневно=В очереди"}));
}

// Asked for after it has finished in this run, a task runs again after what
// is queued now: a later start's tasks, or "Выполнить сейчас", are not lost.
TEST(RunQueue, AFinishedTaskAskedForAgainWaitsAtTheEnd) {
  for (const char* finished : {"Выполнено", "Ошибка"}) {
    SCOPED_TRACE(finished);
    TRunQueue queue;
    queue.QueueTask("A");
    queue.QueueTask("B");
    queue.QueueTask("C");
    queue.SetStatus("A", finished);
    queue.SetStatus("B", StatusRunning);
    EXPECT_TRUE(queue.QueueTask("a"));
    EXPECT_FALSE(queue.QueueTask("C"));
    EXPECT_EQ(Entries(queue), (std::vector<std::string>{"B=Выполняется", "C=В очереди", "A=В очереди"}));
  }
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
  std::string name;
  EXPECT_FALSE(queue.IsRunActive());
  queue.QueueTask("A");
  ASSERT_TRUE(queue.TryBeginRun());
  EXPECT_FALSE(queue.TryBeginRun());  // one worker at a time
  ASSERT_TRUE(queue.TakeNextOrFinishRun(name));
  EXPECT_EQ(name, "A");
  queue.QueueTask("B");  // handed over while A runs
  ASSERT_TRUE(queue.TakeNextOrFinishRun(name));
  EXPECT_EQ(name, "B");
  EXPECT_TRUE(queue.IsRunActive());
  EXPECT_FALSE(queue.TakeNextOrFinishRun(name));
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_FALSE(queue.IsRunActive());
  // A hand-over after the end finds no run: its start request starts one,
  // and its worker begins at the front again.
  queue.QueueTask("C");
  EXPECT_TRUE(queue.TryBeginRun());
  ASSERT_TRUE(queue.TakeNextOrFinishRun(name));
  EXPECT_EQ(name, "C");
}

TEST(RunQueue, AbandonedRunKeepsTheEntriesForTheNextStart) {
  TRunQueue queue;
  queue.QueueTask("A");
  ASSERT_TRUE(queue.TryBeginRun());
  queue.AbandonRun();  // the worker thread could not be created
  EXPECT_EQ(queue.Count(), 1u);
  EXPECT_TRUE(queue.TryBeginRun());
}

}  // namespace
}  // namespace ns
