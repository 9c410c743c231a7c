#pragma once
// The run queue: the tasks this instance has been asked to run since its last
// worker run ended, in the order they were asked for, each with its status
// ("В очереди", "Выполняется", "Выполнено", "Ошибка", see TaskStatus.h).
//
// Three threads share it: the user-interface thread, the hand-over listener
// and the backup worker. Every public operation is atomic with respect to the
// others and calls nothing outside the queue while it holds the lock.
// Names are task (registry key) names and, like those, ignore letter case.
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

class TRunQueue {
 public:
  TRunQueue() = default;
  TRunQueue(const TRunQueue&) = delete;
  TRunQueue& operator=(const TRunQueue&) = delete;

  // Appends name="В очереди" unless an entry of that name is still waiting
  // or running: that one runs anyway, and a name occurs once. An entry that
  // has finished in this worker run ("Выполнено", "Ошибка") is asked for
  // anew: it moves to the end, waiting again, and the same walk runs it
  // after the entries before it. True when the task was queued.
  bool QueueTask(std::string_view name);

  // QueueTask for each of `names` in their order, as one operation. The
  // caller passes the names of all tasks in the registry's order.
  void QueueAllTasks(const std::vector<std::string>& names);

  // Gives the entry of that name the status, keeping its place, or appends a
  // new entry. An empty status removes the entry.
  void SetStatus(std::string_view name, std::string_view status);

  // The status of the entry of that name; empty when there is none.
  std::string StatusOf(std::string_view name) const;

  std::size_t Count() const;

  // The name of the entry at a zero-based position; empty beyond the end.
  std::string NameAt(std::size_t index) const;

  void Clear();

  // The hand-off between the end of a worker run and a late hand-over.
  //
  // Reading the count for the last time and clearing the queue are two steps,
  // and a task queued between them would be cleared away unrun; the start
  // request that follows it may find the old worker thread still alive and
  // start none. So the queue itself knows whether a run is active:
  //
  //  - the user-interface thread starts a worker only when TryBeginRun()
  //    returns true (it marks a run active), and calls AbandonRun() if the
  //    thread then cannot be created;
  //  - the worker asks TakeNextOrFinishRun(name) for each entry. While an
  //    entry it has not taken yet is there, that entry's name comes back with
  //    true. Otherwise the queue is cleared and the run ended in the same
  //    step, and the answer is false; the worker must not touch the queue
  //    after that. EndRun() does the same at once, for a walk cut short.
  //
  // A task queued before that step is run by the old worker; one queued after
  // it finds no active run, so its start request starts a new worker even if
  // the old thread has not quite returned yet. The queue keeps count of the
  // entries taken itself: a finished entry queued again moves from among them
  // to the end.
  bool TryBeginRun();
  bool TakeNextOrFinishRun(std::string& name);
  void EndRun();
  void AbandonRun();
  bool IsRunActive() const;

 private:
  struct TEntry {
    std::string Name;
    std::string Status;
  };

  // Position of the entry of that name, or Entries.size(). Lock held.
  std::size_t IndexOf(std::string_view name) const;
  bool QueueTaskLocked(std::string_view name);

  mutable std::mutex Lock;
  std::vector<TEntry> Entries;
  // How many entries from the front the worker of the active run has taken.
  std::size_t Taken = 0;
  bool RunActive = false;
};

}  // namespace ns
