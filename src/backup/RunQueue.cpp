#include "backup/RunQueue.h"

#include "backup/TaskStatus.h"
#include "base/CaseFolding.h"

namespace ns {

std::size_t TRunQueue::IndexOf(std::string_view name) const {
  std::size_t index = 0;
  while (index < Entries.size() && !SameText1251(Entries[index].Name, name)) ++index;
  return index;
}

bool TRunQueue::QueueTaskLocked(std::string_view name) {
  std::size_t index = IndexOf(name);
  if (index != Entries.size()) {
    if (IsBusyStatus(Entries[index].Status)) return false;
    // Finished in this run: asked for again, it runs again after what is
    // queued now. Its old place was among the entries already taken.
    TEntry entry = std::move(Entries[index]);
    Entries.erase(Entries.begin() + static_cast<std::ptrdiff_t>(index));
    if (index < Taken) --Taken;
    entry.Status = StatusQueued;
    Entries.push_back(std::move(entry));
    return true;
  }
  Entries.push_back({std::string(name), std::string(StatusQueued)});
  return true;
}

bool TRunQueue::QueueTask(std::string_view name) {
  std::lock_guard guard(Lock);
  return QueueTaskLocked(name);
}

void TRunQueue::QueueAllTasks(const std::vector<std::string>& names) {
  std::lock_guard guard(Lock);
  for (const auto& name : names) QueueTaskLocked(name);
}

void TRunQueue::SetStatus(std::string_view name, std::string_view status) {
  std::lock_guard guard(Lock);
  auto index = IndexOf(name);
  if (status.empty()) {
    if (index != Entries.size()) {
      Entries.erase(Entries.begin() + static_cast<std::ptrdiff_t>(index));
      if (index < Taken) --Taken;
    }
  } else if (index != Entries.size()) {
    Entries[index].Status = status;
  } else {
    Entries.push_back({std::string(name), std::string(status)});
  }
}

std::string TRunQueue::StatusOf(std::string_view name) const {
  std::lock_guard guard(Lock);
  auto index = IndexOf(name);
  return index == Entries.size() ? std::string() : Entries[index].Status;
}

std::size_t TRunQueue::Count() const {
  std::lock_guard guard(Lock);
  return Entries.size();
}

std::string TRunQueue::NameAt(std::size_t index) const {
  std::lock_guard guard(Lock);
  return index < Entries.size() ? Entries[index].Name : std::string();
}

void TRunQueue::Clear() {
  std::lock_guard guard(Lock);
  Entries.clear();
  Taken = 0;
}

bool TRunQueue::TryBeginRun() {
  std::lock_guard guard(Lock);
  if (RunActive) return false;
  RunActive = true;
  return true;
}

bool TRunQueue::TakeNextOrFinishRun(std::string& name) {
  std::lock_guard guard(Lock);
  if (Taken < Entries.size()) {
    name = Entries[Taken++].Name;
    return true;
  }
  Entries.clear();
  Taken = 0;
  RunActive = false;
  return false;
}

void TRunQueue::EndRun() {
  std::lock_guard guard(Lock);
  Entries.clear();
  Taken = 0;
  RunActive = false;
}

void TRunQueue::AbandonRun() {
  std::lock_guard guard(Lock);
  RunActive = false;
}

bool TRunQueue::IsRunActive() const {
  std::lock_guard guard(Lock);
  return RunActive;
}

}  // namespace ns
