#include "backup/WorkerLoop.h"

namespace ns {

void WalkRunQueue(TRunQueue& queue, IWorkerHost& host,
                  const std::function<bool(const std::string& taskName)>& processTask) {
  std::size_t taken = 0;
  bool allSucceeded = true;
  try {
    // FinishRunUnlessQueued ends the run only when nothing was queued since
    // the last look, in one step with emptying the queue: a late hand-over
    // is either run by this worker or finds no run active and starts one.
    while (!queue.FinishRunUnlessQueued(taken)) {
      if (!processTask(queue.NameAt(taken))) allSucceeded = false;
      ++taken;
    }
  } catch (...) {
    allSucceeded = false;
    while (!queue.FinishRunUnlessQueued(queue.Count())) {
    }
  }
  host.RunEnded(allSucceeded);
}

}  // namespace ns
